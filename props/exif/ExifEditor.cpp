#include "ExifEditor.h"

// Reading and writing arrive with the handler's own codec; until then nothing is reported and
// nothing is written.
void ExifEditor::GetProps(const std::wstring&, JsonWrapper&) {}

bool ExifEditor::SetProps(const std::wstring&, JsonView, std::wstring&)
{
    return false;
}
