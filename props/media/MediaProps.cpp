#include "MediaProps.h"

// Reading and writing arrive with the tag library's handler; until then nothing is reported and
// nothing is written.
void MediaProps::GetProps(const std::wstring&, JsonWrapper&) {}

bool MediaProps::SetProps(const std::wstring&, JsonView, std::wstring&)
{
    return false;
}
