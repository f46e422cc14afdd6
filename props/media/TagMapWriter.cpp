#include "TagMapWriter.h"
#include "props/media/MapEntry.h"
#include "props/media/TagText.h"

using namespace TagLib;

namespace {

struct Mp4Items {
    using Tag = MP4::Tag;
    static MP4::ItemMap All(const Tag& tag) { return tag.itemMap(); }
    static void Put(Tag& tag, const String& name, const MP4::Item& item) { tag.setItem(name, item); }
};

struct AsfAttributes {
    using Tag = ASF::Tag;
    static ASF::AttributeListMap All(const Tag& tag) { return tag.attributeListMap(); }
    static void Put(Tag& tag, const String& name, const ASF::AttributeList& list) { tag.setAttribute(name, list); }
};

// The values to hand over: a key whose values read as what reading shows for it now takes the
// values the tag holds now (a number shown as no text, several values of an item).
PropertyMap WithUnchangedKept(const PropertyMap& values, const PropertyMap& current)
{
    PropertyMap wanted = values;
    for (const auto& [key, list] : values) {
        const PropertyMap::ConstIterator now = current.find(key);
        if (now != current.end() && ShownTagText(now->second) == ShownTagText(list)) wanted.replace(key, now->second);
    }
    return wanted;
}

template <typename Items> void WriteWhole(typename Items::Tag& tag, const PropertyMap& values)
{
    const PropertyMap wanted = WithUnchangedKept(values, tag.properties());
    const auto before = Items::All(tag);
    tag.setProperties(wanted);
    // Each stored item that the library rebuilt from exactly the texts it shows for it goes back
    // as it was stored. An item the library shows under no key was never touched.
    for (const auto& [name, stored] : before) {
        if (!tag.contains(name)) continue;
        typename Items::Tag alone;
        Items::Put(alone, name, stored);
        const PropertyMap shown = alone.properties();
        if (shown.size() != 1) continue;
        const PropertyMap::ConstIterator sent = wanted.find(shown.begin()->first);
        if (sent != wanted.end() && sent->second == shown.begin()->second) Items::Put(tag, name, stored);
    }
}

} // namespace

void WriteWholeMap(MP4::Tag& tag, const PropertyMap& values)
{
    WriteWhole<Mp4Items>(tag, values);
}

void WriteWholeMap(ASF::Tag& tag, const PropertyMap& values)
{
    WriteWhole<AsfAttributes>(tag, values);
}
