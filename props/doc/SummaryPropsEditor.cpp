#include "SummaryPropsEditor.h"

// Reading and writing arrive with the handler's own codec; until then nothing is reported and
// nothing is written.
void SummaryPropsEditor::GetProps(const std::wstring&, JsonWrapper&) {}

bool SummaryPropsEditor::SetProps(const std::wstring&, JsonView, std::wstring&)
{
    return false;
}
