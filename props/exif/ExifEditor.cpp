#include "ExifEditor.h"

#include "ExifFile.h"
#include "ExifImage.h"
#include "ExifItemText.h"
#include "ThreadAnsiCodePage.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::wstring SaveError(int status)
{
    return L"Exif save props to file error: " + std::to_wstring(status);
}

// The status the platform's imaging API gives when writing the file fails.
constexpr int kWin32Error = 7;

// How many value bytes one file's listing shows at most. Values may overlap in a file, so a small
// damaged file could otherwise claim gigabytes of text; past this, items list as unreadable.
constexpr size_t kListedBytes = 8 * 1024 * 1024;

} // namespace

ExifEditor::ExifEditor() : file_(std::make_unique<ImageFile>()) {}

ExifEditor::~ExifEditor() = default;

void ExifEditor::GetProps(const std::wstring& fileName, JsonWrapper& result)
{
    result.MakeObject();
    ImageFile& file = *file_;
    ExifImage image;
    if (file.Read(fileName, true) != 0 || !image.Load(file.Data(), file.Size(), file.Whole())) return;

    const ThreadAnsiCodePage codePage;
    const JsonView list = PropList().View();
    size_t budget = kListedBytes;
    for (const uint32_t id : image.ItemIds()) {
        const std::wstring key = ItemKey(id);
        const JsonView known = list.Member(key);
        if (known.IsEmpty()) continue;
        const size_t length = image.ItemLength(id);
        const bool shown = length <= budget;
        const ItemValueText value = shown ? FormatItemValue(image, id, codePage) : ItemValueText();
        if (shown) budget -= length;
        JsonWrapper entry = known.Copy();
        entry.AddString(L"data", value.text);
        entry.AddNumber(L"length", value.length);
        entry.AddNumber(L"count", value.count);
        result.AddDocument(key, entry);
    }
}

bool ExifEditor::SetProps(const std::wstring& fileName, JsonView props, std::wstring& error)
{
    if (!props.IsObject() || props.Count() == 0) {
        error = SaveError(1);
        return false;
    }
    ImageFile& file = *file_;
    struct Trimmer {
        ImageFile& file;
        ~Trimmer() { file.Trim(); }
    } trimmer{file};
    ExifImage image;
    // A file that cannot be read as an image has no encoder: the status is 1.
    if (file.Read(fileName, false) != 0 || !image.Load(file.Data(), file.Size(), file.Whole()) || !image.CanWrite()) {
        error = SaveError(1);
        return false;
    }

    const ThreadAnsiCodePage codePage;
    std::vector<ExifItem> written;
    for (const JsonView member : props) {
        bool readonly = false;
        if (member.Member(L"readonly").GetBool(readonly) && readonly) continue;
        int32_t id = 0;
        // A name that is neither "0x" and hexadecimal digits nor decimal names no item.
        if (!ReadShellInteger(member.Name(), true, id)) continue;
        ExifItem item;
        item.id = static_cast<uint32_t>(id);
        item.type = TypeFromName(MemberText(member, L"type"));
        // Items that cannot be set (offsets, the image's own layout) stay as they are, unreported.
        if (ParseItemValue(MemberText(member, L"data"), item.id, item.type, codePage, item.value) &&
            image.SetItem(item) == ExifStatus::Ok) {
            const uint32_t id = item.id;
            written.erase(
                std::remove_if(written.begin(), written.end(), [id](const ExifItem& w) { return w.id == id; }),
                written.end());
            written.push_back(std::move(item));
        }
    }

    if (!image.Edited()) return true; // nothing changed: the file stays as it is
    ExifStatus status = ExifStatus::Ok;
    const auto write = [&](ByteSink& sink) {
        status = image.Save(sink);
        return status == ExifStatus::Ok;
    };
    // The saved file must read as an image again, with the same items, and each item that was
    // set as it was set. (Offsets may move, so the other items' values are not compared.)
    const auto verify = [&image, &written](const std::wstring& scratch, std::wstring& why) {
        ImageFile saved;
        ExifImage reread;
        // The items lie in the file's head; the rest was written by checked writes of bytes kept as
        // they were, and the owner checks the length.
        if (saved.Read(scratch, true) != 0 || !reread.Load(saved.Data(), saved.Size(), saved.Whole())) {
            why = L"it is no longer a readable image";
            return false;
        }
        std::vector<uint32_t> before = image.ItemIds(), after = reread.ItemIds();
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        if (before != after) {
            why = L"its items differ from those meant";
            return false;
        }
        for (const ExifItem& meant : written) {
            ExifItem stored;
            if (!reread.GetItem(meant.id, stored) || stored.type != meant.type || stored.value != meant.value) {
                why = L"item " + ItemKey(meant.id) + L" differs";
                return false;
            }
        }
        return true;
    };
    std::wstring saveError;
    if (SaveImageFile(fileName, file.Size() + 64 * 1024, write, verify, saveError)) return true;
    if (saveError.empty() && status == ExifStatus::DamagedOffset) {
        error = L"The file's EXIF block is damaged: an offset in it points past its end, and the longer block this "
                L"change needs would give that offset a meaning. The file is unchanged.";
        return false;
    }
    if (saveError.empty() && status == ExifStatus::FixedTrailer) {
        error = L"The file ends in a trailer (AFCP) whose offsets could not be read, so they cannot follow an EXIF "
                L"block of another size. The file is unchanged.";
        return false;
    }
    // The encoder's own failure keeps the imaging API's status; the save owner says why in words.
    error =
        saveError.empty() ? SaveError(status == ExifStatus::Ok ? kWin32Error : static_cast<int>(status)) : saveError;
    return false;
}
