#pragma once
// Small settings stores kept as XML files with a fixed frame:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <Archive Version="N">
//     ... the store's own elements ...
//   </Archive>
//
// `pug::xml_archive_parser` opens, creates and saves such a file on top of
// pugixml; `pug::xml_archive_node` reads and writes named child elements
// and their attributes with defaults; `CloneXmlSubtree` copies a subtree
// into a document of its own.
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace pug {

// A node handle with the element name its lookups use.
class xml_archive_node {
public:
    xml_archive_node() = default;
    explicit xml_archive_node(pugi::xml_node node, const char* name = "")
        : m_node(node), m_name(name ? name : "") {}

    pugi::xml_node node() const { return m_node; }
    const std::string& name() const { return m_name; }
    bool IsValid() const { return !m_node.empty(); }
    explicit operator bool() const { return IsValid(); }

    // The first child element called `name`; its handle keeps that name.
    xml_archive_node GetChild(const char* name) const;
    // The first child element called `name` that carries `attribute`.
    xml_archive_node FindChild(const char* name, const char* attribute) const;
    // Moves this handle to its first child element with the stored name;
    // false (and an empty handle) when there is none.
    bool First();
    // Appends a child element with one attribute set; returns the child.
    xml_archive_node AddChild(const char* name, const char* attribute, int value);
    xml_archive_node AddChildEx(const char* name, const char* attribute, const char* value);
    // The integer value of `attribute` on the first child called `name`
    // (found = 1), else `def` (found = 0). `found` may be null.
    int ReadValue(const char* name, const char* attribute, int def, int* found = nullptr) const;

private:
    pugi::xml_node m_node;
    std::string m_name;
};

class xml_archive_parser : public pugi::xml_document {
public:
    xml_archive_parser() = default;

    // 1 when opened; 0 when the file cannot be read or parsed; -1 when it
    // parses but has no root "Archive". The version is -1 unless the root
    // carries one.
    int Open(const char* file);
    // A new document with the declaration and the root "Archive" carrying
    // `version`; nothing is written until `Save`.
    void Create(const char* file, int version, bool changed, bool formatting);
    // Writes the document when it has changed: the whole file goes to a
    // temporary file beside it first, so a failed write keeps the old one.
    // 1 when written or nothing had changed; 0 on failure.
    int Save();

    const std::string& GetFileName() const { return m_file; }
    bool IsChanged() const { return m_changed; }
    void SetChanged(bool changed = true) { m_changed = changed; }
    bool IsFormatted() const { return m_formatting; }
    void SetFormatting(bool formatting) { m_formatting = formatting; }
    bool IsOpenedFromFile() const { return m_opened_from_file; }
    int GetVersion() const { return m_version; }
    // Stores the version on the root and marks the document changed.
    void SetVersion(int version);
    xml_archive_node& GetRoot() { return m_root; }

private:
    std::string m_file;
    bool m_changed = false;
    bool m_formatting = true;
    bool m_opened_from_file = false;
    int m_version = -1;
    xml_archive_node m_root;
};

// Copies a subtree into a new document, keeping the current parent of each
// depth while it walks the nodes in document order.
class xml_clone : public pugi::xml_tree_walker {
public:
    explicit xml_clone(pugi::xml_node target_root);
    bool for_each(pugi::xml_node& node) override;

private:
    std::vector<pugi::xml_node> m_parents; // m_parents[d]: parent for depth d
};

} // namespace pug

// A new document holding a copy of `node` and everything below it
// (elements with their attributes, text, data, comments and processing
// instructions). An empty node gives an empty document.
std::unique_ptr<pugi::xml_document> CloneXmlSubtree(pugi::xml_node node);
