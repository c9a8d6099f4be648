// The do-not-ask-again store over its XML file.
#include "shell/dnaa.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include <pugixml.hpp>

#include "opsys/format.h"
#include "opsys/msgbox_backend.h"
#include "opsys/msgout.h"

namespace {

QwDnaaBoxFn g_box = nullptr;
QwDnaaStatusFn g_status = nullptr;
CDNAA_MsgBox* g_store = nullptr;

bool ReadBool(const pugi::xml_attribute& a, bool missing) {
    if (!a) return missing;
    char c = a.value()[0];
    return c == '1' || c == 'T' || c == 'Y' || c == 't' || c == 'y';
}

// The first element of that name under `node`, depth first, in document order.
pugi::xml_node FindFirst(pugi::xml_node node, const char* name) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        if (strcmp(c.name(), name) == 0) return c;
        if (pugi::xml_node f = FindFirst(c, name)) return f;
    }
    return pugi::xml_node();
}

pugi::xml_node FindMsgBox(pugi::xml_node boxes, const char* id) {
    if (!boxes || !id) return pugi::xml_node();
    return boxes.find_node([id](pugi::xml_node n) {
        return n.type() == pugi::node_element && strcmp(n.name(), "MsgBox") == 0 &&
               strcmp(n.attribute("id").value(), id) == 0;
    });
}

int ShowBox(const char* caption, const char* text, unsigned style, const char* check_caption,
            int* checked);

} // namespace

unsigned DnaaParseInt(const char* text) {
    char buf[256];
    snprintf(buf, sizeof buf, "%s", text ? text : "");
    return unsigned(strtol(buf, nullptr, 0));
}

std::string DnaaFormat(const char* format, const DnaaArg* args, int count, size_t size) {
    std::vector<char> out(size ? size : 1, '\0');
    const char* f = format ? format : "";
    int next = 0;
    bool complained = false;
    std::string chunk = "%j";
    auto flush = [&](const DnaaArg* a, char kind) {
        if (!a) {
            format_strf(out.data(), out.size(), chunk.c_str());
        } else if (kind == 's') {
            std::string num;
            const char* s = a->kind == DnaaArg::kStr ? (a->s ? a->s : "") : (num = std::to_string(a->i)).c_str();
            format_strf(out.data(), out.size(), chunk.c_str(), s);
        } else {
            int v = a->kind == DnaaArg::kInt ? int(a->i) : 0;
            format_strf(out.data(), out.size(), chunk.c_str(), v);
        }
        chunk = "%j";
    };
    while (*f) {
        if (*f != '%') {
            chunk += *f++;
            continue;
        }
        const char* start = f++;
        if (*f == '-') ++f;
        while (*f >= '0' && *f <= '9') ++f;
        char c = *f;
        if (c) ++f;
        chunk.append(start, f);
        if (c == 's' || c == 'c' || c == 'd' || c == 'u' || c == 'x') {
            static const DnaaArg kEmpty("");
            static const DnaaArg kZero(0);
            const DnaaArg* a = next < count ? &args[next] : nullptr;
            bool wrong = !a || (c == 's') != (a->kind == DnaaArg::kStr);
            if (wrong && !complained) {
                MsgOut(QW_MSG_LOG, "In DnaaFormat() the text %s does not match its arguments", format);
                complained = true;
            }
            if (!a) a = c == 's' ? &kEmpty : &kZero;
            ++next;
            flush(a, c);
        }
    }
    if (chunk.size() > 2) flush(nullptr, 0);
    return std::string(out.data());
}

std::string DnaaExpandEntities(const std::string& text, const std::string& doctype, size_t max_len) {
    // The declared entities of the internal subset.
    std::vector<std::pair<std::string, std::string>> ents;
    for (size_t p = doctype.find("<!ENTITY"); p != std::string::npos; p = doctype.find("<!ENTITY", p + 1)) {
        size_t q = p + 8;
        while (q < doctype.size() && isspace((unsigned char)doctype[q])) ++q;
        size_t n0 = q;
        while (q < doctype.size() && !isspace((unsigned char)doctype[q]) && doctype[q] != '"' && doctype[q] != '\'') ++q;
        std::string name = doctype.substr(n0, q - n0);
        while (q < doctype.size() && isspace((unsigned char)doctype[q])) ++q;
        if (q >= doctype.size() || (doctype[q] != '"' && doctype[q] != '\'')) continue;
        size_t close = doctype.find(doctype[q], q + 1);
        if (close == std::string::npos) break;
        ents.emplace_back(name, doctype.substr(q + 1, close - q - 1));
    }
    std::string s = text;
    size_t pos = 0;
    int replacements = 0;
    auto char_ref = [&](size_t amp, size_t semi, const std::string& ref) {
        // ref: "#65" or "#x41"
        long code = (ref.size() > 1 && (ref[1] == 'x' || ref[1] == 'X'))
                        ? strtol(ref.c_str() + 2, nullptr, 16)
                        : strtol(ref.c_str() + 1, nullptr, 0);
        s.replace(amp, semi - amp + 1, 1, char(code));
        pos = amp + 1;
    };
    while (true) {
        size_t amp = s.find('&', pos);
        if (amp == std::string::npos) break;
        size_t semi = s.find(';', amp);
        if (semi == std::string::npos) break;
        if (++replacements > 64 || s.size() > max_len) {
            MsgOut(QW_MSG_LOG, "In DnaaExpandEntities() the expansion was stopped at its bound");
            break;
        }
        std::string name = s.substr(amp + 1, semi - amp - 1);
        const std::string* value = nullptr;
        for (auto& e : ents)
            if (e.first == name) value = &e.second;
        if (value) {
            std::string v = *value;
            if (v.compare(0, 5, "&#38;") == 0) v.replace(0, 5, "&");
            size_t vs = v.find(';');
            if (v.compare(0, 2, "&#") == 0 && (vs == std::string::npos || vs == v.size() - 1)) {
                std::string ref = v.substr(1, vs == std::string::npos ? std::string::npos : vs - 1);
                long code = (ref.size() > 1 && (ref[1] == 'x' || ref[1] == 'X'))
                                ? strtol(ref.c_str() + 2, nullptr, 16)
                                : strtol(ref.c_str() + 1, nullptr, 0);
                s.replace(amp, semi - amp + 1, 1, char(code));
                pos = amp + 1;
                continue;
            }
            if (s.size() - (semi - amp + 1) + v.size() > max_len) {
                MsgOut(QW_MSG_LOG, "In DnaaExpandEntities() the expansion was stopped at its bound");
                break;
            }
            s.replace(amp, semi - amp + 1, v);
            pos = amp;  // references inside the value are expanded too
            continue;
        }
        if (!name.empty() && name[0] == '#') {
            char_ref(amp, semi, name);
            continue;
        }
        pos = amp + 1;
    }
    return s;
}

// --- the XML side ----------------------------------------------------------

class CDNAA_MsgBox_Impl {
public:
    pugi::xml_document doc;
    int version = -1;
    pugi::xml_node doctype;
    pugi::xml_node boxes;

    int ParseXMLFile(const char* path, const char* language) {
        doc.reset();
        boxes = doctype = pugi::xml_node();
        unsigned opts = pugi::parse_default | pugi::parse_pi | pugi::parse_comments |
                        pugi::parse_doctype | pugi::parse_trim_pcdata;
        std::wstring wpath;
        pugi::xml_parse_result r = doc.load_file(path, opts);
        if (!r) return 2;
        pugi::xml_node root = FindFirst(doc, "DNAA");
        if (!root) return 3;
        version = int(DnaaParseInt(root.attribute("Version") ? root.attribute("Version").value() : "-1"));
        if (version != 1) return 4;
        doctype = doc.find_node([](pugi::xml_node n) { return n.type() == pugi::node_doctype; });
        std::string lang = language ? language : "";
        if (!lang.empty())
            boxes = doc.find_node([&](pugi::xml_node n) {
                return n.type() == pugi::node_element && strcmp(n.name(), "MsgBoxes") == 0 &&
                       lang == n.attribute("language").value();
            });
        if (!boxes) boxes = FindFirst(doc, "MsgBoxes");
        return 1;
    }

    std::string Text(pugi::xml_node el) {
        for (pugi::xml_node c = el.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
                return DnaaExpandEntities(c.value(), doctype ? doctype.value() : "");
        return std::string();
    }

    unsigned GetMsgBoxFlags(pugi::xml_node box) {
        pugi::xml_node constants = FindFirst(doc, "MsgBoxConstants");
        std::string text = box.attribute("flags").value();
        if (!constants) return 36;
        if (text.empty())
            if (pugi::xml_node d = FindFirst(doc, "MsgBoxDefaults")) text = d.attribute("flags").value();
        if (text.empty()) return 36;
        unsigned v = 0;
        size_t p = 0;
        while (p < text.size()) {
            size_t e = text.find_first_of(" |,", p);
            if (e == std::string::npos) e = text.size();
            if (e > p) {
                pugi::xml_attribute a = constants.attribute(text.substr(p, e - p).c_str());
                if (a) v |= DnaaParseInt(a.value());
            }
            p = e + 1;
        }
        return v;
    }

    struct Info {
        std::string caption, message, check;
        unsigned style = 36;
        bool hide = false, ask_again = true, status = false;
        int result = -1;
    };
    int GetMsgBoxInfo(const char* name, Info* in) {
        if (!boxes) return 2;
        pugi::xml_node box = FindMsgBox(boxes, name);
        if (!box) return 3;
        pugi::xml_node aamsg = FindFirst(box, "AAMsg");
        if (aamsg) in->hide = ReadBool(aamsg.attribute("hide"), false);
        pugi::xml_node state = FindFirst(box, "State");
        if (!in->hide && state) {
            in->ask_again = ReadBool(state.attribute("askagain"), true);
            in->result = int(DnaaParseInt(state.attribute("result").value()));
            in->status = ReadBool(state.attribute("statusbar"), false);
        }
        if (in->ask_again) {
            in->caption = Text(FindFirst(box, "Caption"));
            in->message = Text(FindFirst(box, "Message"));
            if (in->message.empty()) return 4;
            in->style = GetMsgBoxFlags(box);
            if (aamsg && !in->hide) in->check = Text(aamsg);
            return 0;
        }
        if (in->status) in->message = Text(FindFirst(box, "Message"));
        return 1;
    }

    int SaveMessageBoxState(const char* name, bool ask_again, int result) {
        if (!boxes) return 2;
        pugi::xml_node box = FindMsgBox(boxes, name);
        if (!box) return 3;
        pugi::xml_node state = FindFirst(box, "State");
        if (!state) state = box.append_child("State");
        if (!state) return 6;
        SetAttr(state, "askagain", ask_again ? "true" : "false");
        SetAttr(state, "result", std::to_string(result).c_str());
        return 5;
    }

    static void SetAttr(pugi::xml_node n, const char* name, const char* value) {
        pugi::xml_attribute a = n.attribute(name);
        if (!a) a = n.append_attribute(name);
        a.set_value(value);
    }

    static bool StateMatches(pugi::xml_node state, const char* attr, const char* value) {
        if (!attr) return true;
        pugi::xml_attribute a = state.attribute(attr);
        return a && (!value || strcmp(a.value(), value) == 0);
    }

    int SetAskAgain(const char* name, const char* attr, const char* value, bool include_hidden,
                    bool ask_again) {
        if (!boxes) return 0;
        if (name) {
            pugi::xml_node box = FindMsgBox(boxes, name);
            if (!box) return 0;
            pugi::xml_node state = FindFirst(box, "State");
            if (attr && (!state || !StateMatches(state, attr, value))) return 0;
            if (!state && !ask_again) state = box.append_child("State");
            if (state) SetAttr(state, "askagain", ask_again ? "true" : "false");
            return 1;
        }
        int changed = 0;
        for (pugi::xml_node box = boxes.find_node([](pugi::xml_node n) {
                 return n.type() == pugi::node_element && strcmp(n.name(), "MsgBox") == 0; });
             box; box = box.next_sibling("MsgBox")) {
            pugi::xml_node state = FindFirst(box, "State");
            if (!state && !ask_again) state = box.append_child("State");
            if (!state) continue;
            pugi::xml_node aamsg = FindFirst(box, "AAMsg");
            if (aamsg && ReadBool(aamsg.attribute("hide"), false)) continue;
            pugi::xml_node prompt = FindFirst(box, "Prompt");
            if (!include_hidden && prompt && ReadBool(prompt.attribute("hide"), false)) continue;
            if (!StateMatches(state, attr, value)) continue;
            SetAttr(state, "askagain", ask_again ? "true" : "false");
            changed = 1;
        }
        return changed;
    }

    // Appends the master's messages the user's copy lacks; the master's
    // parse code, 0 without a master.
    int CopyFromMaster(const char* master, const char* language, int* count) {
        *count = 0;
        if (!master || !*master) return 0;
        CDNAA_MsgBox_Impl m;
        int code = m.ParseXMLFile(master, language);
        if (code != 1) return code;
        if (!m.boxes || !boxes) return code;
        for (pugi::xml_node box = m.boxes.child("MsgBox"); box; box = box.next_sibling("MsgBox")) {
            if (FindMsgBox(boxes, box.attribute("id").value())) continue;
            boxes.append_copy(box);
            ++*count;
        }
        return code;
    }

    // Writes through a temporary file, so that a failed write leaves the
    // user's answers as they were. Empty on success, else the error.
    std::string WriteXMLFile(const char* path) {
        std::ostringstream os;
        doc.save(os, "\t", pugi::format_indent, pugi::encoding_auto);
        std::string data = os.str();
        std::string tmp = std::string(path) + ".tmp";
        FILE* f = fopen(tmp.c_str(), "wb");
        if (!f) return "cannot create " + tmp;
        bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
        ok = (fclose(f) == 0) && ok;
        if (!ok) {
            remove(tmp.c_str());
            return "write failed";
        }
        if (!MoveFileExA(tmp.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
            remove(tmp.c_str());
            return "cannot replace the file (error " + std::to_string(GetLastError()) + ")";
        }
        return std::string();
    }
};

// --- the store -------------------------------------------------------------

CDNAA_MsgBox::CDNAA_MsgBox(const char* path, const char* master_path, const char* language,
                           bool show_errors, bool reopen_every_call, bool save_immediately)
    : impl_(std::make_unique<CDNAA_MsgBox_Impl>()),
      path_(path ? path : ""),
      master_path_(master_path ? master_path : ""),
      language_(language ? language : ""),
      show_open_error_(show_errors),
      show_master_error_(show_errors),
      show_save_error_(show_errors),
      reopen_(reopen_every_call),
      save_immediately_(save_immediately) {}

CDNAA_MsgBox::~CDNAA_MsgBox() {
    if (changed_) Save();
    if (g_store == this) g_store = nullptr;
}

bool CDNAA_MsgBox::EnsureOpen() {
    std::string error_text;
    int checked = 0;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (open_status_ != 0 && !reopen_) return open_status_ == 1;
        open_status_ = impl_->ParseXMLFile(path_.c_str(), language_.c_str());
        if (open_status_ != 1) {
            MsgOut(QW_MSG_LOG, "Unable to open the 'Do not ask again' file %s: error %d", path_.c_str(),
                   open_status_);
            if (!show_open_error_) return false;
            error_text = "Unable to open \"Do not ask again..\" messages file: \n\n" + path_ +
                         "\n\nError code: " + std::to_string(open_status_) +
                         "\n\nThese messages will not be available and default\nbehavior will be used when needed.";
        } else {
            int copied = 0;
            std::string master = master_path_;
            int code = impl_->CopyFromMaster(master.c_str(), language_.c_str(), &copied);
            master_path_.clear();  // merged once
            if (copied > 0) {
                Save();
                return true;
            }
            if (!show_master_error_ || code == 0 || code == 1) return true;
            error_text = "Unable to open Master \"Do not ask again..\" messages file: \n\n" +
                         master + "\n\nError code: " + std::to_string(code) +
                         "\n\nAny new messages will not be available.\n\nTo recover this file, reinstall the application.";
        }
    }
    if (open_status_ == 1) {
        ShowBox("File open error", error_text.c_str(), 0x30, "", &checked);
        show_master_error_ = !checked;
        return true;
    }
    ShowBox("File open error", error_text.c_str(), 0x30, "", &checked);
    show_open_error_ = !checked;
    return false;
}

int CDNAA_MsgBox::Save() {
    std::string err;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        err = impl_->WriteXMLFile(path_.c_str());
        if (err.empty()) {
            changed_ = false;
            save_status_ = 1;
            return 1;
        }
        save_status_ = 0;
        changed_ = true;
        MsgOut(QW_MSG_LOG, "Unable to update the 'Do not ask again' file %s: %s", path_.c_str(), err.c_str());
        if (!show_save_error_) return 0;
    }
    std::string text = "Unable to update \"Do not ask again..\" messages file: \n\n" + path_ +
                       "\n\nError: " + err +
                       "\n\nCheck the disk isn't full and you have file write permission.";
    int checked = 0;
    ShowBox("File save error", text.c_str(), 0x30, "", &checked);
    show_save_error_ = !checked;
    return 0;
}

int CDNAA_MsgBox::MessageBox(const char* name, const DnaaArg* args, int count) {
    if (!EnsureOpen()) return -2;
    CDNAA_MsgBox_Impl::Info in;
    int code;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        code = impl_->GetMsgBoxInfo(name, &in);
    }
    if (code >= 2) return -3;
    std::string text;
    if (code == 0 || in.status) text = DnaaFormat(in.message.c_str(), args, count);
    if (code == 1) {
        if (in.status) {
            for (char& c : text)
                if (c == '\n' || c == '\r') c = ' ';
            if (g_status) g_status(text.c_str());
            else MsgOut(QW_MSG_STATUS, "%s", text.c_str());
        }
        return in.result;
    }
    if (in.hide) return ShowBox(in.caption.c_str(), text.c_str(), in.style, nullptr, nullptr);
    int checked = 0;
    int button = ShowBox(in.caption.c_str(), text.c_str(), in.style, in.check.c_str(), &checked);
    bool ask_again = !checked;
    if (button != in.result || ask_again != in.ask_again) {
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (impl_->SaveMessageBoxState(name, ask_again, button) == 5) {
            if (save_immediately_) Save();
            else changed_ = true;
        }
    }
    return button;
}

int CDNAA_MsgBox::SetAskAgain(const char* name, const char* attr, const char* value,
                              bool include_hidden, bool ask_again, bool save_now) {
    if (!EnsureOpen()) return -2;
    std::lock_guard<std::recursive_mutex> g(lock_);
    int r = impl_->SetAskAgain(name, attr, value, include_hidden, ask_again);
    if (r == 1) {
        if (save_now) Save();
        else changed_ = true;
    }
    return r;
}

int CDNAA_MsgBox::GetMessageText(std::string* out, const char* name, const DnaaArg* args, int count) {
    if (!EnsureOpen()) return -2;
    std::string format;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (!impl_->boxes) return -3;
        pugi::xml_node box = FindMsgBox(impl_->boxes, name);
        pugi::xml_node msg = box ? FindFirst(box, "Message") : pugi::xml_node();
        if (!msg) return -3;
        format = impl_->Text(msg);
    }
    *out = DnaaFormat(format.c_str(), args, count);
    return 1;
}

std::vector<CDNAA_MsgBox::SetupRow> CDNAA_MsgBox::GetSetupRows() {
    std::vector<SetupRow> rows;
    if (!EnsureOpen()) return rows;
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!impl_->boxes) return rows;
    for (pugi::xml_node box = impl_->boxes.child("MsgBox"); box; box = box.next_sibling("MsgBox")) {
        pugi::xml_node prompt = FindFirst(box, "Prompt");
        pugi::xml_node aamsg = FindFirst(box, "AAMsg");
        std::string text = prompt ? impl_->Text(prompt) : std::string();
        if (text.empty() || ReadBool(prompt.attribute("hide"), false) ||
            (aamsg && ReadBool(aamsg.attribute("hide"), false)))
            continue;
        unsigned style = impl_->GetMsgBoxFlags(box);
        int image = (style & 0x70) ? int((style & 0x70) / 16) - 1 : 2;
        pugi::xml_node state = FindFirst(box, "State");
        rows.push_back({box.attribute("id").value(), text, image,
                        state ? ReadBool(state.attribute("askagain"), true) : true});
    }
    return rows;
}

void CDNAA_MsgBox::ApplySetupRows(const std::vector<SetupRow>& rows) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!impl_->boxes) return;
    for (const SetupRow& r : rows) {
        pugi::xml_node box = FindMsgBox(impl_->boxes, r.id.c_str());
        if (!box) continue;
        pugi::xml_node state = FindFirst(box, "State");
        bool current = state ? ReadBool(state.attribute("askagain"), true) : true;
        if (current == r.checked) continue;
        if (!state) state = box.append_child("State");
        CDNAA_MsgBox_Impl::SetAttr(state, "askagain", r.checked ? "true" : "false");
        changed_ = true;
    }
    if (changed_) Save();
}

namespace {

struct SetupState {
    CDNAA_MsgBox* store;
    std::vector<CDNAA_MsgBox::SetupRow> rows;
};

INT_PTR CALLBACK SetupProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<SetupState*>(GetWindowLongPtrA(dlg, DWLP_USER));
    HWND list = GetDlgItem(dlg, 280);
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        st = reinterpret_cast<SetupState*>(lp);
        ListView_SetExtendedListViewStyle(list, 0x4004);
        RECT rc;
        GetClientRect(list, &rc);
        LVCOLUMNA col{};
        col.mask = LVCF_WIDTH | LVCF_TEXT;
        col.cx = rc.right;
        col.pszText = const_cast<char*>("");
        ListView_InsertColumn(list, 0, &col);
        HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 5, 0);
        for (LPCSTR icon : {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK, IDI_APPLICATION})
            ImageList_AddIcon(images, LoadIconA(nullptr, icon));
        ListView_SetImageList(list, images, LVSIL_SMALL);
        for (size_t i = 0; i < st->rows.size(); ++i) {
            LVITEMA item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
            item.iItem = int(i);
            item.pszText = &st->rows[i].prompt[0];
            item.iImage = st->rows[i].image;
            item.lParam = LPARAM(i);
            int at = int(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
            ListView_SetCheckState(list, at, st->rows[i].checked);
        }
        ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE_USEHEADER);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case 262:
        case 263:
            for (int i = 0, n = ListView_GetItemCount(list); i < n; ++i)
                ListView_SetCheckState(list, i, LOWORD(wp) == 262);
            return TRUE;
        case IDOK:
            for (int i = 0, n = ListView_GetItemCount(list); i < n; ++i) {
                LVITEMA item{};
                item.mask = LVIF_PARAM;
                item.iItem = i;
                SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
                if (size_t(item.lParam) < st->rows.size())
                    st->rows[size_t(item.lParam)].checked = ListView_GetCheckState(list, i) != 0;
            }
            st->store->ApplySetupRows(st->rows);
            EndDialog(dlg, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

int CDNAA_MsgBox::ShowSetupDialog(HWND parent) {
    if (!EnsureOpen()) return 0;
    bool reopen = reopen_;
    reopen_ = false;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    SetupState st{this, GetSetupRows()};
    INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(2100), parent, SetupProc,
                                reinterpret_cast<LPARAM>(&st));
    reopen_ = reopen;
    return r == IDOK ? 1 : 0;
}

// --- front end ---------------------------------------------------------------

namespace {

int ShowBox(const char* caption, const char* text, unsigned style, const char* check_caption,
            int* checked) {
    if (g_box) return g_box(caption, text, style, check_caption, checked);
    // Without the controls library's box: a plain box, nothing ticked.
    if (checked) *checked = 0;
    return QwPlatformMessageBox(nullptr, text, caption, style);
}

} // namespace

void QwSetDnaaOutlets(QwDnaaBoxFn box, QwDnaaStatusFn status) {
    g_box = box;
    g_status = status;
}

void DNAA_SetStore(CDNAA_MsgBox* store) { g_store = store; }
CDNAA_MsgBox* DNAA_GetStore() { return g_store; }

int DNAA_MessageBoxByName(const char* name, const DnaaArg* args, int count) {
    CDNAA_MsgBox* s = g_store;
    if (!s) return -2;
    if (!name) return s->ShowSetupDialog(nullptr);
    return s->MessageBox(name, args, count);
}

int DNAA_Ask(const char* name, const DnaaArg* args, int count) {
    return DNAA_MessageBoxByName(name, args, count);
}

int DNAA_AskNamedHook(const char* key, const char* caption, const char* text) {
    if (key) return DNAA_MessageBoxByName(key, nullptr, 0);
    return QwPlatformMessageBox(nullptr, text ? text : "", caption, MB_YESNO | MB_ICONQUESTION);
}

std::unique_ptr<CDNAA_MsgBox> DNAA_CreateStore(const char* user_path, const char* master_path) {
    if (GetFileAttributesA(user_path) == INVALID_FILE_ATTRIBUTES) {
        if (CopyFileA(master_path, user_path, TRUE))
            MsgOut(QW_MSG_LOG, "Copied master 'Do not ask again' file: %s to %s", master_path, user_path);
        else
            MsgOut(QW_MSG_LOG | QW_MSG_BOX, "Unable to copy Master 'Do not ask again' file: %s to %s",
                   master_path, user_path);
    }
    auto store = std::make_unique<CDNAA_MsgBox>(user_path, master_path, nullptr, true, false, true);
    store->SetAskAgain(nullptr, "setaaonappstart", nullptr, false, true, true);
    return store;
}
