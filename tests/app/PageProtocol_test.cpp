// The page is served in process from the program's resources: which addresses map to which page
// files, what the protocol object tells the browser, and that the embedded page is the one in ui/.
#include "core/TextConvert.h"
#include "platform/PageAddress.h"
#include "platform/PageProtocol.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct AddressCase {
    const wchar_t* url;
    std::optional<std::wstring> file;
};

TEST(PageAddress, MapsOnlyThePagesOwnAddressesToPlainPageFiles)
{
    const AddressCase cases[] = {
        {kPageUrl, L"index.html"},
        {L"http://varenko.localhost/varenko/UI", L"index.html"},
        {L"HTTP://VARENKO.LOCALHOST/varenko/UI", L"index.html"},
        {L"Http://Varenko.LocalHost/varenko/UI", L"index.html"},
        {L"http://varenko.localhost/varenko/UI/", L"index.html"},
        {L"http://varenko.localhost/varenko/ui", L"index.html"},
        {L"http://varenko.localhost/varenko/UI?x=1", L"index.html"},
        {L"http://varenko.localhost/varenko/UI#top", L"index.html"},
        {L"http://varenko.localhost/varenko/UI?a=../../x#/..", L"index.html"},
        {L"http://varenko.localhost/varenko/app.js", L"app.js"},
        {L"http://varenko.localhost/varenko/UI/app.js", L"app.js"},
        {L"http://varenko.localhost/varenko/app.css?v=2", L"app.css"},
        {L"http://varenko.localhost/varenko/img/logo-1_a.png", L"img/logo-1_a.png"},
        // Nothing may climb out of the page folder or name a file some other way.
        {L"http://varenko.localhost/varenko/../x", std::nullopt},
        {L"http://varenko.localhost/varenko/UI/../../x", std::nullopt},
        {L"http://varenko.localhost/varenko/./app.js", std::nullopt},
        {L"http://varenko.localhost/varenko/%2e%2e/x", std::nullopt},
        {L"http://varenko.localhost/varenko/%2E%2E%2Fx", std::nullopt},
        {L"http://varenko.localhost/varenko/..%5cx", std::nullopt},
        {L"http://varenko.localhost/varenko/..\\x", std::nullopt},
        {L"http://varenko.localhost/varenko/\\x", std::nullopt},
        {L"http://varenko.localhost/varenko/C:\\x", std::nullopt},
        {L"http://varenko.localhost/varenko//app.js", std::nullopt},
        {L"http://varenko.localhost/varenko/app.js/", std::nullopt},
        {L"http://varenko.localhost/varenko/app.js:stream", std::nullopt},
        {L"http://varenko.localhost/varenko/", std::nullopt},
        {L"http://varenko.localhost/varenko", std::nullopt},
        {L"http://varenko.localhost/", std::nullopt},
        // Other hosts, ports, schemes and forms.
        {L"http://varenko.localhost.example.com/varenko/UI", std::nullopt},
        {L"http://example.com/varenko/UI", std::nullopt},
        {L"http://example.com/?http://varenko.localhost/varenko/UI", std::nullopt},
        {L"http://user@varenko.localhost/varenko/UI", std::nullopt},
        {L"http://varenko.localhost:8080/varenko/UI", std::nullopt},
        {L"http://varenko.localhost.:80/varenko/UI", std::nullopt},
        {L"https://varenko.localhost/varenko/UI", std::nullopt},
        {L"file:///C:/varenko/UI", std::nullopt},
        {L"about:blank", std::nullopt},
        {L" http://varenko.localhost/varenko/UI", std::nullopt},
        {L"", std::nullopt},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(PageFileForUrl(c.url), c.file) << Utf16ToUtf8(c.url);
    }
}

TEST(PageAddress, TellsTheMimeTypeByExtensionInAnyLetterCase)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"index.html", L"text/html"},
        {L"app.js", L"application/javascript"},
        {L"app.css", L"text/css"},
        {L"img/logo.svg", L"image/svg+xml"},
        {L"logo.png", L"image/png"},
        {L"favicon.ico", L"image/x-icon"},
        {L"lists/doc.json", L"application/json"},
        {L"INDEX.HTML", L"text/html"},
        {L"Logo.PNG", L"image/png"},
        {L"app.Js", L"application/javascript"},
        {L"readme.txt.bin", L"application/octet-stream"},
        {L"html", L"application/octet-stream"},
        {L"app.jsx", L"application/octet-stream"},
        {L"", L"application/octet-stream"},
    };
    for (const auto& [name, type] : cases)
        EXPECT_STREQ(MimeTypeFor(name), type) << Utf16ToUtf8(name);
}

// Everything the protocol object tells the browser, in order.
class FakeSink : public IInternetProtocolSink {
public:
    struct Progress {
        ULONG status;
        std::wstring text;
    };
    struct Data {
        DWORD flags;
        ULONG progress;
        ULONG max;
    };
    struct Result {
        HRESULT hr;
        DWORD error;
    };

    std::vector<Progress> progress;
    std::vector<Data> data;
    std::vector<Result> results;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IInternetProtocolSink) {
            *out = static_cast<IInternetProtocolSink*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Switch(PROTOCOLDATA*) override { return S_OK; }
    STDMETHODIMP ReportProgress(ULONG status, LPCWSTR text) override
    {
        progress.push_back({status, text ? text : L""});
        return S_OK;
    }
    STDMETHODIMP ReportData(DWORD flags, ULONG progressSoFar, ULONG progressMax) override
    {
        data.push_back({flags, progressSoFar, progressMax});
        return S_OK;
    }
    STDMETHODIMP ReportResult(HRESULT hr, DWORD error, LPCWSTR) override
    {
        results.push_back({hr, error});
        return S_OK;
    }

    std::wstring MimeType() const
    {
        for (const Progress& p : progress) {
            if (p.status == BINDSTATUS_VERIFIEDMIMETYPEAVAILABLE || p.status == BINDSTATUS_MIMETYPEAVAILABLE)
                return p.text;
        }
        return {};
    }
};

// Page files of the fake reader: a page, a script of several kilobytes with every byte value,
// and an empty style sheet.
const std::string& ScriptBytes()
{
    static const std::string bytes = [] {
        std::string text;
        for (int i = 0; i < 5000; ++i)
            text += static_cast<char>(i % 256);
        return text;
    }();
    return bytes;
}

bool FakeReader(const std::wstring& name, std::string& bytes)
{
    if (name == L"index.html") {
        bytes = "<!DOCTYPE html><title>fake</title>";
        return true;
    }
    if (name == L"app.js") {
        bytes = ScriptBytes();
        return true;
    }
    if (name == L"empty.css") {
        bytes.clear();
        return true;
    }
    return false;
}

class Protocol {
public:
    explicit Protocol(PageFileReader reader = FakeReader) { EXPECT_EQ(CreatePageProtocol(reader, &protocol_), S_OK); }
    ~Protocol()
    {
        if (protocol_) protocol_->Release();
    }
    IInternetProtocol* operator->() const { return protocol_; }
    explicit operator bool() const { return protocol_ != nullptr; }

    // Reads everything with a small buffer, as the browser may; every call before the last must
    // give S_OK and the last S_FALSE.
    std::string ReadAll(ULONG chunk = 1000)
    {
        std::string all;
        std::vector<char> buffer(chunk);
        for (int calls = 0; calls < 100000; ++calls) {
            ULONG read = 0xFFFFFFFF;
            const HRESULT hr = protocol_->Read(buffer.data(), chunk, &read);
            EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
            if (FAILED(hr)) break;
            EXPECT_LE(read, chunk);
            if (read > chunk) break;
            all.append(buffer.data(), read);
            if (hr == S_FALSE) return all;
            EXPECT_GT(read, 0u) << "S_OK with no data would keep the browser asking";
        }
        ADD_FAILURE() << "Read never reported the end";
        return all;
    }

private:
    IInternetProtocol* protocol_ = nullptr;
};

struct ServedCase {
    const wchar_t* url;
    const wchar_t* mimeType;
    std::string bytes;
};

TEST(PageProtocol, ServesPageFilesWithTheirTypeAndExactBytes)
{
    const ServedCase cases[] = {
        {kPageUrl, L"text/html", "<!DOCTYPE html><title>fake</title>"},
        {L"HTTP://Varenko.Localhost/varenko/UI?reload=1#x", L"text/html", "<!DOCTYPE html><title>fake</title>"},
        {L"http://varenko.localhost/varenko/app.js", L"application/javascript", ScriptBytes()},
        {L"http://varenko.localhost/varenko/UI/app.js", L"application/javascript", ScriptBytes()},
        {L"http://varenko.localhost/varenko/empty.css", L"text/css", ""},
    };
    for (const ServedCase& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.url));
        Protocol protocol;
        ASSERT_TRUE(protocol);
        FakeSink sink;
        ASSERT_EQ(protocol->Start(c.url, &sink, nullptr, 0, 0), S_OK);
        EXPECT_EQ(sink.MimeType(), c.mimeType);

        ASSERT_FALSE(sink.data.empty());
        const FakeSink::Data& last = sink.data.back();
        EXPECT_TRUE(last.flags & BSCF_LASTDATANOTIFICATION);
        EXPECT_EQ(last.progress, c.bytes.size());
        EXPECT_EQ(last.max, c.bytes.size());
        ASSERT_EQ(sink.results.size(), 1u);
        EXPECT_EQ(sink.results[0].hr, S_OK);

        EXPECT_EQ(protocol.ReadAll(), c.bytes);
        // Asked again after the end: still the end, with nothing more.
        char byte = 0;
        ULONG read = 1;
        EXPECT_EQ(protocol->Read(&byte, 1, &read), S_FALSE);
        EXPECT_EQ(read, 0u);
    }
}

TEST(PageProtocol, ReadsInPiecesOfAnySize)
{
    for (const ULONG chunk : {1u, 7u, 4096u, 5000u, 5001u, 65536u}) {
        Protocol protocol;
        ASSERT_TRUE(protocol);
        FakeSink sink;
        ASSERT_EQ(protocol->Start(L"http://varenko.localhost/varenko/app.js", &sink, nullptr, 0, 0), S_OK);
        EXPECT_EQ(protocol.ReadAll(chunk), ScriptBytes()) << "chunk " << chunk;
    }
}

TEST(PageProtocol, LeavesOtherAddressesToTheSystemsHandler)
{
    const wchar_t* urls[] = {
        L"http://example.com/varenko/UI",         L"https://varenko.localhost/varenko/UI",
        L"http://varenko.localhost/varenko/../x", L"http://varenko.localhost/varenko/%2e%2e/x",
        L"http://varenko.localhost/other/UI",     L"",
    };
    for (const wchar_t* url : urls) {
        Protocol protocol;
        ASSERT_TRUE(protocol);
        FakeSink sink;
        EXPECT_EQ(protocol->Start(url, &sink, nullptr, 0, 0), INET_E_USE_DEFAULT_PROTOCOLHANDLER) << Utf16ToUtf8(url);
        EXPECT_TRUE(sink.data.empty()) << Utf16ToUtf8(url);
    }
}

TEST(PageProtocol, ReportsAMissingPageFileAsNotFound)
{
    Protocol protocol;
    ASSERT_TRUE(protocol);
    FakeSink sink;
    EXPECT_EQ(protocol->Start(L"http://varenko.localhost/varenko/missing.js", &sink, nullptr, 0, 0),
              INET_E_RESOURCE_NOT_FOUND);
    EXPECT_TRUE(sink.data.empty());
    for (const FakeSink::Result& result : sink.results)
        EXPECT_EQ(result.hr, INET_E_RESOURCE_NOT_FOUND);
}

TEST(PageProtocol, RefusesMissingArguments)
{
    Protocol protocol;
    ASSERT_TRUE(protocol);
    FakeSink sink;
    EXPECT_TRUE(FAILED(protocol->Start(nullptr, &sink, nullptr, 0, 0)));
    EXPECT_TRUE(FAILED(protocol->Start(kPageUrl, nullptr, nullptr, 0, 0)));
    EXPECT_TRUE(sink.data.empty());
}

TEST(PageProtocol, AnswersOnlyItsOwnInterfaces)
{
    Protocol protocol;
    ASSERT_TRUE(protocol);
    for (const IID* iid : {&IID_IUnknown, &IID_IInternetProtocolRoot, &IID_IInternetProtocol}) {
        IUnknown* out = nullptr;
        EXPECT_EQ(protocol->QueryInterface(*iid, reinterpret_cast<void**>(&out)), S_OK);
        ASSERT_NE(out, nullptr);
        out->Release();
    }
    void* out = &out;
    EXPECT_EQ(protocol->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

// The page folder on disk; the build passes the source folder.
std::wstring PageFolder()
{
    std::wstring folder = Utf8ToUtf16(VARENKO_SOURCE_DIR);
    for (wchar_t& c : folder) {
        if (c == L'/') c = L'\\';
    }
    return folder + L"\\ui\\";
}

// Every file below a folder, by its path relative to the page folder with '/' between parts.
void PageFilesBelow(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            PageFilesBelow(folder + name + L"\\", prefix + name + L"/", out);
        else
            out.push_back(prefix + name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

TEST(PageProtocol, ServesTheEmbeddedPageByteForByteAsInTheSourceFolder)
{
    const std::string onDisk = ReadAll(PageFolder() + L"index.html");
    ASSERT_FALSE(onDisk.empty()) << "cannot read ui/index.html below " << VARENKO_SOURCE_DIR;

    Protocol protocol(nullptr); // the program's own reader
    ASSERT_TRUE(protocol);
    FakeSink sink;
    ASSERT_EQ(protocol->Start(kPageUrl, &sink, nullptr, 0, 0), S_OK);
    EXPECT_EQ(sink.MimeType(), L"text/html");
    EXPECT_EQ(protocol.ReadAll(4096), onDisk);
}

TEST(PageProtocol, EmbedsEveryFileOfThePageFolderUnderTheNameItIsAskedFor)
{
    std::vector<std::wstring> files;
    PageFilesBelow(PageFolder(), L"", files);
    ASSERT_FALSE(files.empty());
    for (const std::wstring& file : files) {
        SCOPED_TRACE(Utf16ToUtf8(file));
        const std::wstring url = L"http://varenko.localhost/varenko/" + file;
        const auto name = PageFileForUrl(url);
        ASSERT_EQ(name, file) << "a page file the page cannot ask for";
        std::string embedded;
        ASSERT_TRUE(ReadPageResource(*name, embedded));
        std::wstring diskPath = PageFolder() + file;
        for (wchar_t& c : diskPath) {
            if (c == L'/') c = L'\\';
        }
        EXPECT_EQ(embedded, ReadAll(diskPath));
    }
}

TEST(PageAddress, NamesResourcesAsPlainIdentifiers)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"index.html", L"PAGE_INDEX_HTML"},
        {L"app.js", L"PAGE_APP_JS"},
        {L"img/Logo-2_x.PNG", L"PAGE_IMG_LOGO_2_X_PNG"},
    };
    for (const auto& [file, resource] : cases)
        EXPECT_EQ(PageResourceName(file), resource) << Utf16ToUtf8(file);
}

TEST(PageProtocol, FindsNoResourceForANameThatIsNotAPageFile)
{
    std::string bytes = "untouched";
    EXPECT_FALSE(ReadPageResource(L"no-such-file.js", bytes));
    EXPECT_FALSE(ReadPageResource(L"", bytes));
    EXPECT_EQ(bytes, "untouched");
}

} // namespace
