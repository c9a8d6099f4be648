#include "Reu/xml_archive.h"

#include <cstdio>

#include "Reu/reu_file.h"

namespace pug {

namespace {
const char kRootName[] = "Archive";
const char kVersionAttr[] = "Version";

// Collects the serialised document in memory, so that the file is written
// in one piece through the replacing writer.
class string_writer : public pugi::xml_writer {
public:
    std::string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

// Copies one node without its children: type, name, value and attributes.
pugi::xml_node CopyShallow(pugi::xml_node parent, pugi::xml_node from) {
    pugi::xml_node to = parent.append_child(from.type());
    if (to.empty()) return to;
    if (*from.name()) to.set_name(from.name());
    if (*from.value()) to.set_value(from.value());
    for (pugi::xml_attribute a : from.attributes())
        to.append_attribute(a.name()).set_value(a.value());
    return to;
}
} // namespace

// ---- xml_archive_node ----

xml_archive_node xml_archive_node::GetChild(const char* name) const {
    return xml_archive_node(m_node.child(name), name);
}

xml_archive_node xml_archive_node::FindChild(const char* name, const char* attribute) const {
    for (pugi::xml_node n = m_node.child(name); n; n = n.next_sibling(name)) {
        if (n.attribute(attribute)) return xml_archive_node(n, name);
    }
    return xml_archive_node(pugi::xml_node(), name);
}

bool xml_archive_node::First() {
    m_node = m_node.child(m_name.c_str());
    return !m_node.empty();
}

xml_archive_node xml_archive_node::AddChild(const char* name, const char* attribute, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return AddChildEx(name, attribute, text);
}

xml_archive_node xml_archive_node::AddChildEx(const char* name, const char* attribute,
                                              const char* value) {
    pugi::xml_node child = m_node.append_child(name);
    if (child && attribute && *attribute) child.append_attribute(attribute).set_value(value ? value : "");
    return xml_archive_node(child, name);
}

int xml_archive_node::ReadValue(const char* name, const char* attribute, int def, int* found) const {
    pugi::xml_attribute a = m_node.child(name).attribute(attribute);
    if (found) *found = a ? 1 : 0;
    return a ? a.as_int(def) : def;
}

// ---- xml_archive_parser ----

int xml_archive_parser::Open(const char* file) {
    reset();
    m_file = file ? file : "";
    m_changed = false;
    m_opened_from_file = true;
    m_version = -1;
    m_root = xml_archive_node();
    if (m_file.empty() || !load_file(m_file.c_str())) return 0;
    pugi::xml_node root = child(kRootName);
    if (!root) return -1;
    m_root = xml_archive_node(root, kRootName);
    m_version = root.attribute(kVersionAttr).as_int(-1);
    return 1;
}

void xml_archive_parser::Create(const char* file, int version, bool changed, bool formatting) {
    reset();
    m_file = file ? file : "";
    m_changed = changed;
    m_formatting = formatting;
    m_opened_from_file = false;
    pugi::xml_node decl = append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("UTF-8");
    pugi::xml_node root = append_child(kRootName);
    root.append_attribute(kVersionAttr).set_value(version);
    m_root = xml_archive_node(root, kRootName);
    m_version = version;
}

void xml_archive_parser::SetVersion(int version) {
    m_version = version;
    pugi::xml_node root = m_root.node();
    if (root) {
        pugi::xml_attribute a = root.attribute(kVersionAttr);
        if (!a) a = root.append_attribute(kVersionAttr);
        a.set_value(version);
    }
    m_changed = true;
}

int xml_archive_parser::Save() {
    if (!m_changed) return 1;
    if (m_file.empty()) return 0;
    string_writer out;
    unsigned flags = m_formatting ? pugi::format_indent : pugi::format_raw;
    save(out, "\t", flags, pugi::encoding_utf8);
    return ReuReplaceFileContents(m_file.c_str(), out.text) ? 1 : 0;
}

// ---- xml_clone ----

xml_clone::xml_clone(pugi::xml_node target_root) : m_parents{target_root} {}

bool xml_clone::for_each(pugi::xml_node& node) {
    size_t d = static_cast<size_t>(depth());
    if (d >= m_parents.size()) return false; // cannot happen in document order
    pugi::xml_node copy = CopyShallow(m_parents[d], node);
    m_parents.resize(d + 1);
    m_parents.push_back(copy);
    return true;
}

} // namespace pug

std::unique_ptr<pugi::xml_document> CloneXmlSubtree(pugi::xml_node node) {
    auto doc = std::make_unique<pugi::xml_document>();
    if (node.empty()) return doc;
    pugi::xml_node top = node.type() == pugi::node_document ? pugi::xml_node(*doc)
                                                              : pug::CopyShallow(*doc, node);
    pug::xml_clone walker(top);
    node.traverse(walker);
    return doc;
}
