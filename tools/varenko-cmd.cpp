// Runs page commands without a window: each line of standard input is one request text (UTF-8),
// handed to the same external object the window holds, exactly as the browser hands it over
// (identifier 9001, one string argument). Each request gives one line of standard output:
// {"hr":<Invoke's result>,"answer":"<the result text>"}, "answer" only when Invoke set a result.
#include "app/UIHandler.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "platform/Bstr.h"
#include "platform/ProcessStartup.h"
#include "platform/Variant.h"

#include <fcntl.h>
#include <io.h>
#include <oleauto.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

std::string RunLine(UIHandler& handler, const std::string& line)
{
    Variant argument, result;
    Variant::SetText(argument, Utf8ToUtf16(line));
    DISPPARAMS params{argument.Get(), nullptr, 1, 0};
    const HRESULT hr = handler.Invoke(UIHandler::kJsonCommandId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                      &params, result.Get(), nullptr, nullptr);

    JsonWrapper output;
    output.MakeObject();
    output.AddNumber(L"hr", hr);
    if (result.Get()->vt == VT_BSTR) output.AddString(L"answer", BstrText(result.Get()->bstrVal));
    return Utf16ToUtf8(output.Print());
}

} // namespace

int wmain()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // The same process-wide start-up as the window's, so the engine behaves as it does there.
    const ProcessStartup startup;
    // The handler is large and lives for the whole run, as it does inside the window.
    auto handler = std::make_unique<UIHandler>();
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string output = RunLine(*handler, line) + "\n";
        std::fwrite(output.data(), 1, output.size(), stdout);
        std::fflush(stdout);
    }
    return 0;
}
