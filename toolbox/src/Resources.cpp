// Resource files in JSON, parsed with nlohmann::json. Each file is parsed once
// when it is opened; lookups walk the chain from the current file to the oldest.
#include "toolbox/Resources.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "toolbox/MacTypes.h"

namespace {

using nlohmann::json;

struct ResourceFile {
    SInt16 refNum;
    std::string path;
    std::map<SInt16, std::vector<std::string>> stringLists;
    std::map<SInt16, WindowTemplate> windows;
    std::map<SInt16, MenuTemplate> menus;
    std::map<SInt16, DialogTemplate> dialogs;
};

struct Chain {
    std::vector<std::unique_ptr<ResourceFile>> files;  // oldest first
    SInt16 current = -1;
    SInt16 nextRefNum = 1;
};

Chain& TheChain()
{
    static Chain* chain = new Chain;
    return *chain;
}

thread_local OSErr gResError = noErr;

int LineOfOffset(const std::string& text, size_t offset)
{
    offset = std::min(offset, text.size());
    return 1 + int(std::count(text.begin(), text.begin() + long(offset), '\n'));
}

// The line on which a resource starts, for messages about its content.
int LineOfResource(const std::string& text, const std::string& type, const std::string& id)
{
    size_t typeAt = text.find("\"" + type + "\"");
    if (typeAt == std::string::npos) return 1;
    size_t idAt = text.find("\"" + id + "\"", typeAt);
    return LineOfOffset(text, idAt == std::string::npos ? typeAt : idAt);
}

// A malformed resource; the loader adds file and line.
struct BadResource {
    std::string message;
};

std::string MacText(const json& value, const char* what)
{
    if (!value.is_string()) throw BadResource{std::string(what) + " must be a string"};
    std::string out;
    if (!Utf8ToMacRoman(value.get<std::string>(), &out))
        throw BadResource{std::string(what) + " has a character that Mac Roman lacks"};
    return out;
}

Rect RectOf(const json& value, const char* what)
{
    if (!value.is_array() || value.size() != 4)
        throw BadResource{std::string(what) + " must be [top, left, bottom, right]"};
    SInt16 v[4];
    for (int i = 0; i < 4; ++i) {
        if (!value[size_t(i)].is_number_integer() || value[size_t(i)].get<int64_t>() < INT16_MIN ||
            value[size_t(i)].get<int64_t>() > INT16_MAX)
            throw BadResource{std::string(what) + " must hold 16-bit integers"};
        v[i] = SInt16(value[size_t(i)].get<int64_t>());
    }
    return Rect{v[0], v[1], v[2], v[3]};
}

bool FlagOf(const json& object, const char* key, bool fallback)
{
    if (!object.contains(key)) return fallback;
    if (!object[key].is_boolean()) throw BadResource{std::string(key) + " must be true or false"};
    return object[key].get<bool>();
}

SInt32 IntegerOf(const json& object, const char* key, SInt32 fallback, SInt32 lowest, SInt32 highest)
{
    if (!object.contains(key)) return fallback;
    const json& value = object[key];
    if (!value.is_number_integer() || value.get<int64_t>() < lowest || value.get<int64_t>() > highest)
        throw BadResource{std::string(key) + " must be an integer from " + std::to_string(lowest) + " to " +
                          std::to_string(highest)};
    return SInt32(value.get<int64_t>());
}

const json& Member(const json& object, const char* key)
{
    if (!object.is_object() || !object.contains(key)) throw BadResource{std::string("needs \"") + key + "\""};
    return object[key];
}

SInt16 IdOf(const std::string& key)
{
    size_t used = 0;
    long id = 0;
    try {
        id = std::stol(key, &used);
    } catch (...) {
        used = 0;
    }
    if (used != key.size() || id < INT16_MIN || id > INT16_MAX)
        throw BadResource{"resource ID \"" + key + "\" is not a number from -32768 to 32767"};
    return SInt16(id);
}

DialogItemKind ItemKindOf(const std::string& name)
{
    static const std::map<std::string, DialogItemKind> kinds = {
        {"button", DialogItemKind::button},           {"checkBox", DialogItemKind::checkBox},
        {"radioButton", DialogItemKind::radioButton}, {"staticText", DialogItemKind::staticText},
        {"editText", DialogItemKind::editText},       {"userItem", DialogItemKind::userItem},
    };
    auto found = kinds.find(name);
    if (found == kinds.end()) throw BadResource{"unknown item kind \"" + name + "\""};
    return found->second;
}

void LoadResource(ResourceFile& file, const std::string& type, SInt16 id, const json& body)
{
    if (type == "STR#") {
        if (!body.is_array()) throw BadResource{"a string list must be an array of strings"};
        std::vector<std::string> strings;
        for (const json& s : body) strings.push_back(MacText(s, "each string"));
        file.stringLists[id] = std::move(strings);
    } else if (type == "WIND") {
        WindowTemplate w;
        w.bounds = RectOf(Member(body, "bounds"), "bounds");
        w.title = body.contains("title") ? MacText(body["title"], "title") : "";
        w.procID = SInt16(IntegerOf(body, "procID", 0, INT16_MIN, INT16_MAX));
        w.visible = FlagOf(body, "visible", false);
        w.goAwayFlag = FlagOf(body, "goAway", false);
        w.growable = FlagOf(body, "growable", false);
        w.zoomable = FlagOf(body, "zoomable", false);
        w.refCon = IntegerOf(body, "refCon", 0, INT32_MIN, INT32_MAX);
        file.windows[id] = std::move(w);
    } else if (type == "MENU") {
        MenuTemplate m;
        m.menuID = id;
        m.title = body.contains("title") ? MacText(body["title"], "title") : "";
        const json& items = Member(body, "items");
        if (!items.is_array()) throw BadResource{"items must be an array of strings"};
        for (const json& item : items) m.items.push_back(MacText(item, "each item"));
        file.menus[id] = std::move(m);
    } else if (type == "DLOG") {
        DialogTemplate d;
        d.bounds = RectOf(Member(body, "bounds"), "bounds");
        d.title = body.contains("title") ? MacText(body["title"], "title") : "";
        d.visible = FlagOf(body, "visible", false);
        const json& items = Member(body, "items");
        if (!items.is_array()) throw BadResource{"items must be an array"};
        d.defaultItem = SInt16(IntegerOf(body, "defaultItem", 0, 0, SInt32(items.size())));
        d.cancelItem = SInt16(IntegerOf(body, "cancelItem", 0, 0, SInt32(items.size())));
        for (const json& item : items) {
            DialogItemTemplate t;
            const json& kind = Member(item, "kind");
            if (!kind.is_string()) throw BadResource{"kind must be a string"};
            t.kind = ItemKindOf(kind.get<std::string>());
            t.bounds = RectOf(Member(item, "bounds"), "item bounds");
            t.text = item.contains("text") ? MacText(item["text"], "item text") : "";
            t.enabled = FlagOf(item, "enabled", true);
            d.items.push_back(std::move(t));
        }
        file.dialogs[id] = std::move(d);
    } else {
        throw BadResource{"unknown resource type \"" + type + "\""};
    }
}

std::unique_ptr<ResourceFile> ParseFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ResourceFileError(path + ": cannot open the resource file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();

    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        std::string what = e.what();
        // Keep nlohmann's own explanation, after its "[json.exception...] " prefix.
        size_t reason = what.find("] ");
        throw ResourceFileError(path + ":" + std::to_string(LineOfOffset(text, e.byte == 0 ? 0 : e.byte - 1)) +
                                ": syntax error: " + (reason == std::string::npos ? what : what.substr(reason + 2)));
    }
    if (!root.is_object()) throw ResourceFileError(path + ":1: the file must hold one object of resource types");

    auto file = std::make_unique<ResourceFile>();
    file->path = path;
    for (auto& [type, resources] : root.items()) {
        if (!resources.is_object())
            throw ResourceFileError(path + ":" + std::to_string(LineOfResource(text, type, "")) + ": " + type +
                                    " must map resource IDs to resources");
        for (auto& [key, body] : resources.items()) {
            try {
                LoadResource(*file, type, IdOf(key), body);
            } catch (const BadResource& bad) {
                throw ResourceFileError(path + ":" + std::to_string(LineOfResource(text, type, key)) + ": " + type +
                                        " " + key + ": " + bad.message);
            }
        }
    }
    return file;
}

template <class T>
const T* Find(std::map<SInt16, T> ResourceFile::*table, SInt16 id)
{
    Chain& chain = TheChain();
    // From the current file towards the oldest.
    bool started = false;
    for (auto it = chain.files.rbegin(); it != chain.files.rend(); ++it) {
        if (!started && (*it)->refNum != chain.current) continue;
        started = true;
        auto found = ((**it).*table).find(id);
        if (found != ((**it).*table).end()) {
            gResError = noErr;
            return &found->second;
        }
    }
    gResError = resNotFound;
    return nullptr;
}

}  // namespace

SInt16 OpenResourceFile(const std::string& path)
{
    auto file = ParseFile(path);
    Chain& chain = TheChain();
    file->refNum = chain.nextRefNum++;
    chain.current = file->refNum;
    chain.files.push_back(std::move(file));
    gResError = noErr;
    return chain.current;
}

void CloseResFile(SInt16 refNum)
{
    Chain& chain = TheChain();
    auto it = std::find_if(chain.files.begin(), chain.files.end(), [&](auto& f) { return f->refNum == refNum; });
    if (it == chain.files.end()) {
        gResError = resNotFound;
        return;
    }
    chain.files.erase(it);
    if (chain.current == refNum) chain.current = chain.files.empty() ? -1 : chain.files.back()->refNum;
    gResError = noErr;
}

void UseResFile(SInt16 refNum)
{
    Chain& chain = TheChain();
    bool known = std::any_of(chain.files.begin(), chain.files.end(), [&](auto& f) { return f->refNum == refNum; });
    gResError = known ? noErr : resNotFound;
    if (known) chain.current = refNum;
}

SInt16 CurResFile() { return TheChain().current; }
OSErr ResError() { return gResError; }

const WindowTemplate* GetWindowTemplate(SInt16 id) { return Find(&ResourceFile::windows, id); }
const MenuTemplate* GetMenuTemplate(SInt16 id) { return Find(&ResourceFile::menus, id); }
const DialogTemplate* GetDialogTemplate(SInt16 id) { return Find(&ResourceFile::dialogs, id); }

void GetIndString(Str255 theString, SInt16 strListID, SInt16 index)
{
    theString[0] = 0;
    const std::vector<std::string>* list = Find(&ResourceFile::stringLists, strListID);
    if (!list) return;
    if (index < 1 || size_t(index) > list->size()) {
        gResError = resNotFound;
        return;
    }
    CopyCStringToPascal((*list)[size_t(index - 1)], theString);
}

void DetachResource(Handle) { gResError = noErr; }
void DetachResource(MenuRef) { gResError = noErr; }
