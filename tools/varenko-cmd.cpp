// Runs page commands without a window: each line of standard input is one request text (UTF-8),
// handed to the same external object the window holds, exactly as the browser hands it over
// (identifier 9001, one string argument). Each request gives one line of standard output:
// {"hr":<Invoke's result>,"answer":"<the result text>"}, "answer" only when Invoke set a result.
// Line ends may be LF, CR LF or a lone CR, and a UTF-8 byte-order mark at the start is skipped, so
// a request file saved by any editor gives one answer per request.
#include "app/UIHandler.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "platform/Bstr.h"
#include "platform/FileSave.h"
#include "platform/ProcessStartup.h"
#include "platform/Variant.h"

#include <fcntl.h>
#include <io.h>
#include <oleauto.h>

#include <cstdio>
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

// Splits standard input into lines as it arrives: a line is answered as soon as its end is read,
// without waiting for more input (the page relay waits for each answer before it sends more).
class LineReader {
public:
    bool Next(std::string& line)
    {
        line.clear();
        for (;;) {
            if (pos_ == size_ && !Fill()) {
                // The last line may lack its end.
                return Finish(line, !line.empty());
            }
            const char c = buffer_[pos_++];
            if (skipLineFeed_) {
                skipLineFeed_ = false;
                if (c == '\n') continue; // the second half of a CR LF
            }
            if (c == '\n') return Finish(line, true);
            if (c == '\r') {
                skipLineFeed_ = true;
                return Finish(line, true);
            }
            line += c;
        }
    }

private:
    bool Fill()
    {
        const int read = _read(_fileno(stdin), buffer_, sizeof buffer_);
        if (read <= 0) return false;
        pos_ = 0;
        size_ = static_cast<size_t>(read);
        return true;
    }

    bool Finish(std::string& line, bool any)
    {
        if (first_ && any && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        if (any) first_ = false;
        return any;
    }

    char buffer_[65536];
    size_t pos_ = 0;
    size_t size_ = 0;
    bool skipLineFeed_ = false;
    bool first_ = true;
};

} // namespace

int wmain()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // The same process-wide start-up as the window's, so the engine behaves as it does there.
    const ProcessStartup startup;
    // Scratch files of saves that a killed process never ended.
    CleanUpInterruptedSaves();
    // The handler is large and lives for the whole run, as it does inside the window.
    auto handler = std::make_unique<UIHandler>();
    auto reader = std::make_unique<LineReader>();
    std::string line;
    while (reader->Next(line)) {
        const std::string output = RunLine(*handler, line) + "\n";
        std::fwrite(output.data(), 1, output.size(), stdout);
        std::fflush(stdout);
    }
    return 0;
}
