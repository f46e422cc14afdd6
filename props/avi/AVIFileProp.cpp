#include "AVIFileProp.h"

// Reading and writing arrive with the handler's own codec; until then nothing is reported and
// nothing is written.
void AVIFileProp::GetProps(const std::wstring&, JsonWrapper&) {}

bool AVIFileProp::SetProps(const std::wstring&, JsonView, std::wstring&)
{
    return false;
}
