#pragma once
// What the command engine asks of every property handler: keep the page's property list for the
// category, read one file's properties into a document, and write the category's members of a
// "setprops" request back to the file.
#include "core/JsonWrapper.h"

#include <string>

class PropertyHandler {
public:
    PropertyHandler() = default;
    PropertyHandler(const PropertyHandler&) = delete;
    PropertyHandler& operator=(const PropertyHandler&) = delete;
    virtual ~PropertyHandler() = default;

    // Replaces the page's property list; a text that is not JSON leaves the list empty.
    virtual bool SetPropList(const std::wstring& listText) { return propList_.Parse(listText); }
    const JsonWrapper& PropList() const { return propList_; }

    // Reads the file's properties of this category into result; leaves it empty when there is
    // nothing to report, so that the answer has no member for the category.
    virtual void GetProps(const std::wstring& fileName, JsonWrapper& result) = 0;

    // Writes the category's members; false with the reason in error when the file was not
    // written.
    virtual bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) = 0;

protected:
    JsonWrapper propList_;
};
