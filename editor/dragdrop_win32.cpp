// OLE drag and drop of text: the data object, the drop source, the edit
// view's drop target, and the edit view's side of a drag and of a drop.
#include "editor/dragdrop.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "editor/clipboard.h"
#include "editor/editview.h"
#include "editor/mouse.h"
#include "editor/qwdoc.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"

namespace {

DragState g_drag;

FORMATETC TextFormat(CLIPFORMAT cf) { return FORMATETC{cf, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

HGLOBAL GlobalText(const std::string& data) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, data.size() + 1);
    if (!h) return nullptr;
    char* p = static_cast<char*>(GlobalLock(h));
    if (!p) {
        GlobalFree(h);
        return nullptr;
    }
    std::memcpy(p, data.data(), data.size());
    p[data.size()] = 0;
    GlobalUnlock(h);
    return h;
}

// ---- Data object ----------------------------------------------------------------------

class TextDataObject final : public IDataObject {
public:
    TextDataObject(std::string text, int style) : text_(std::move(text)), style_(style) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *out = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (!n) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM* medium) override {
        if (!fmt || !medium) return E_INVALIDARG;
        HRESULT q = QueryGetData(fmt);
        if (q != S_OK) return q;
        std::string data;
        if (fmt->cfFormat == CF_TEXT) {
            data = text_;
        } else {
            char head[48];
            std::snprintf(head, sizeof head, "Sel_Style=%d,how=%d\r\n", style_, g_drag.drop_handled ? 0 : 1);
            data = head + text_;
        }
        HGLOBAL h = GlobalText(data);
        if (!h) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = h;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override {
        if (!fmt) return E_INVALIDARG;
        if (fmt->cfFormat != CF_TEXT && fmt->cfFormat != RegisterTextFormat()) return DV_E_FORMATETC;
        if (!(fmt->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        if (fmt->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        // The private format first: a reader that knows it keeps the style.
        FORMATETC formats[2] = {TextFormat(CLIPFORMAT(RegisterTextFormat())), TextFormat(CF_TEXT)};
        return SHCreateStdEnumFmtEtc(2, formats, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~TextDataObject() = default;
    std::atomic<ULONG> refs_{1};
    std::string text_;
    int style_;
};

// ---- Drop source ------------------------------------------------------------------------

class ButtonDropSource final : public IDropSource {
public:
    explicit ButtonDropSource(DWORD button) : button_(button) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
            *out = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (!n) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD key_state) override {
        if (escape) return DRAGDROP_S_CANCEL;
        // The other button pressed as well cancels, as releasing the one
        // that started the drag drops.
        const DWORD other = button_ == MK_LBUTTON ? MK_RBUTTON : MK_LBUTTON;
        if (key_state & other) return DRAGDROP_S_CANCEL;
        if (!(key_state & button_)) return DRAGDROP_S_DROP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    ~ButtonDropSource() = default;
    std::atomic<ULONG> refs_{1};
    DWORD button_;
};

// ---- Drop target --------------------------------------------------------------------------

class ViewDropTarget final : public IDropTarget {
public:
    explicit ViewDropTarget(CQWEditView* view) : view_(view) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (!n) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        if (data) data->AddRef();
        if (data_) data_->Release();
        data_ = data;
        *effect = view_ ? Allowed(view_->OnDragEnter(data, keys, Client(pt)), *effect) : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        if (!view_) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        POINT p = Client(pt);
        DWORD scroll = view_->OnDragScroll(keys, p);
        DWORD e = scroll & DROPEFFECT_SCROLL ? scroll : view_->OnDragOver(data_, keys, p);
        *effect = Allowed(e, *effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        if (view_) view_->OnDragLeave();
        if (data_) data_->Release();
        data_ = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        if (data_) data_->Release();
        data_ = nullptr;
        if (!view_) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        POINT p = Client(pt);
        DWORD allowed = *effect;
        DWORD proposed = Allowed(view_->DropEffectFor(data, keys), allowed) & ~DROPEFFECT_SCROLL;
        DWORD r = view_->OnDropEx(data, proposed, allowed, p);
        if (r == DWORD(-1)) r = proposed != DROPEFFECT_NONE && view_->OnDrop(data, proposed, p) ? proposed
                                                                                                : DROPEFFECT_NONE;
        *effect = r;
        return S_OK;
    }
    void Detach() { view_ = nullptr; }

private:
    ~ViewDropTarget() {
        if (data_) data_->Release();
    }
    static DWORD Allowed(DWORD wanted, DWORD allowed) {
        DWORD scroll = wanted & DROPEFFECT_SCROLL;
        wanted &= ~DROPEFFECT_SCROLL;
        if (wanted && !(wanted & allowed)) {
            // A move the source does not allow becomes a copy.
            wanted = (wanted & DROPEFFECT_MOVE) && (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY
                                                                                : DROPEFFECT_NONE;
        }
        return wanted | scroll;
    }
    POINT Client(POINTL pt) const {
        POINT p{pt.x, pt.y};
        if (view_ && view_->hwnd()) ScreenToClient(view_->hwnd(), &p);
        return p;
    }
    std::atomic<ULONG> refs_{1};
    CQWEditView* view_;
    IDataObject* data_ = nullptr;
};

// The entries of the right-button drop menu: move, copy, a separator, cancel.
std::vector<std::string> DropMenuEntries() {
    char text[256];
    if (LoadStringA(GetModuleHandleA(nullptr), 449, text, sizeof text) <= 0)
        std::snprintf(text, sizeof text, "%s", "&Move Here\r&Copy Here\r\rCancel");
    std::vector<std::string> out;
    std::string all = text;
    size_t start = 0;
    for (;;) {
        size_t cr = all.find('\r', start);
        out.push_back(all.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
        if (cr == std::string::npos) break;
        start = cr + 1;
    }
    return out;
}

bool GetHGlobal(IDataObject* data, CLIPFORMAT cf, std::string* out) {
    FORMATETC f = TextFormat(cf);
    STGMEDIUM m{};
    if (!data || data->GetData(&f, &m) != S_OK) return false;
    bool ok = false;
    if (m.tymed == TYMED_HGLOBAL && m.hGlobal) {
        if (const char* p = static_cast<const char*>(GlobalLock(m.hGlobal))) {
            size_t size = GlobalSize(m.hGlobal);
            // The text ends at the block's end or its first zero byte.
            const void* z = std::memchr(p, 0, size);
            out->assign(p, z ? size_t(static_cast<const char*>(z) - p) : size);
            GlobalUnlock(m.hGlobal);
            ok = true;
        }
    }
    ReleaseStgMedium(&m);
    return ok;
}

bool Offers(IDataObject* data, CLIPFORMAT cf) {
    FORMATETC f = TextFormat(cf);
    return data && data->QueryGetData(&f) == S_OK;
}

} // namespace

DragState& TheDragState() { return g_drag; }

IDataObject* MakeTextDataObject(const std::string& text, int style) { return new TextDataObject(text, style); }
IDropSource* MakeDropSource(DWORD button) { return new ButtonDropSource(button); }
IDropTarget* MakeViewDropTarget(CQWEditView* view) { return new ViewDropTarget(view); }

void ReleaseViewDropTarget(IDropTarget* target) {
    if (!target) return;
    static_cast<ViewDropTarget*>(target)->Detach();
    target->Release();
}

bool DataObjectHasText(IDataObject* data) {
    return Offers(data, CF_TEXT) || Offers(data, CLIPFORMAT(RegisterTextFormat()));
}

bool DataObjectHasFiles(IDataObject* data) { return Offers(data, CF_HDROP); }

bool ReadDataObjectText(IDataObject* data, std::string* text, int* style) {
    std::string raw;
    *style = 0;
    if (GetHGlobal(data, CLIPFORMAT(RegisterTextFormat()), &raw)) {
        size_t start = 0;
        *style = ParsePrivateHeader(raw.data(), raw.size(), &start);
        text->assign(raw, start, std::string::npos);
        return true;
    }
    if (GetHGlobal(data, CF_TEXT, &raw)) {
        *text = raw;
        return true;
    }
    return false;
}

bool ReadDataObjectFiles(IDataObject* data, std::vector<std::string>* paths) {
    FORMATETC f = TextFormat(CF_HDROP);
    STGMEDIUM m{};
    if (!data || data->GetData(&f, &m) != S_OK) return false;
    if (m.tymed == TYMED_HGLOBAL && m.hGlobal) *paths = fw::DroppedFilePaths(m.hGlobal);
    ReleaseStgMedium(&m);
    return !paths->empty();
}

DWORD DropEffectFromKeys(DWORD keys) {
    const bool ctrl = (keys & MK_CONTROL) != 0, shift = (keys & MK_SHIFT) != 0;
    if (ctrl && shift) return DROPEFFECT_NONE;
    return ctrl ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}

// ---- The edit view as a drag source -----------------------------------------------------

DWORD CQWEditView::GetDragEffects() {
    return IsViewOnly() ? DROPEFFECT_COPY : DROPEFFECT_COPY | DROPEFFECT_MOVE;
}

void CQWEditView::OnDragStart() {
    g_drag.drop_handled = false;
    g_drag.drop_document = nullptr;
}

IDataObject* CQWEditView::MakeSelectionDataObject() {
    if (!HasBuffer()) return nullptr;
    EditCore& e = LoadCore();
    SelectionBounds b = EditGetSelectionBounds(e, false);
    std::string text;
    if (b.code != QW_SB_VALID || !EditCopyBlock(e, b, &text)) return nullptr;
    int style = b.type == QW_SEL_COLUMN ? 2 : b.type == QW_SEL_LINE ? 1 : 0;
    return MakeTextDataObject(text, style);
}

bool CQWEditView::PointOnSelection(int x, int y) {
    if (!HasBuffer() || !HasSelection()) return false;
    PointGeometry g;
    g.margin = GetTextBarWidth();
    g.cell_w = std::max(EditorCellWidth(), 1);
    g.cell_h = std::max(EditorCellHeight(), 1);
    g.top_line = GetTopLine();
    g.line_count = GetLineCount();
    g.first_col = GetFirstVisibleColumn();
    g.visible_cols = GetVisibleColumns();
    if (x < g.margin || y < 0) return false;
    PointPosition p = PointToPosition(g, x, y);
    if (p.above) return false;
    EditCore& e = LoadCore();
    std::string t;
    EditReadLine(e, int(p.line), &t);
    int col = OffsetAtDisplayColumn(t.data(), int(t.size()), p.dcol, e.rules, nullptr, true);
    return EditSelectionContains(e, int(p.line), col, int(p.dcol), false);
}

bool CQWEditView::TryDragSelection(UINT msg, int x, int y) {
    drag_entered_ = false;
    if (!PointOnSelection(x, y)) return false;
    MoveToPoint(x, y, 0x4 | 0x10);
    IDataObject* data = MakeSelectionDataObject();
    if (!data) return false;
    const DWORD button = msg == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
    IDropSource* source = MakeDropSource(button);
    g_drag.start_message = msg;
    OnDragStart();
    g_drag.source = this;
    DWORD effect = DROPEFFECT_NONE;
    HRESULT hr = DoDragDrop(data, source, GetDragEffects(), &effect);
    g_drag.source = nullptr;
    source->Release();
    data->Release();
    if (hr != DRAGDROP_S_DROP) effect = DROPEFFECT_NONE;
    bool handled = true;
    if (button == MK_RBUTTON && !drag_entered_ && effect == DROPEFFECT_NONE && !g_drag.drop_handled) {
        // Dropped nowhere in this view: the right button's own menu.
        OnViewMouseEvent(517, MouseLastHitArea(), 0, 0, 0, 0);
        handled = false;
    }
    OnDragEnd(effect, handled);
    return true;
}

void CQWEditView::OnDragEnd(DWORD effect, bool handled) {
    g_drag.feedback = nullptr;
    effect &= ~DROPEFFECT_SCROLL;
    if (!HasBuffer()) return;
    if (effect == DROPEFFECT_NONE) {
        if (drag_entered_ && hwnd()) {
            BringWindowToTop(hwnd());
            if (ViewFlags(-1, QW_VF_FOCUS)) ViewFlags(1, QW_VF_ACTIVE);
        }
        if (handled && HasSelection()) SetSelection(3);
        return;
    }
    CQWDoc* landed = g_drag.drop_handled ? g_drag.drop_document : nullptr;
    if (!g_drag.drop_handled) {
        if (HWND f = EditorMainFrame()) BringWindowToTop(f);
    }
    if (effect & DROPEFFECT_MOVE) {
        // The text went into another document or another program: it
        // leaves here. Within this document the drop moved it already.
        if (landed != GetQWDoc() && !IsViewOnly()) DeleteSelection(true);
        return;
    }
    if (hwnd() && GetFocus() != hwnd() && HasSelection()) SetSelection(3);
}

// ---- The edit view as a drop target --------------------------------------------------------

void CQWEditView::DestroyDropCaret() {
    if (!drop_caret_) return;
    drop_caret_ = false;
    DestroyCaret();
    // The focus view's own caret comes back.
    if (CQWTextView* v = GetCurrentTextView()) v->UpdateCaret(GetInsertMode() != 0);
}

DWORD CQWEditView::OnDragEnter(IDataObject* data, DWORD keys, POINT pt) {
    (void)pt;
    drag_entered_ = true;
    scroll_zone_since_ = 0;
    if (!DataObjectHasText(data) && !DataObjectHasFiles(data)) return DROPEFFECT_NONE;
    if (CQWEditView* other = g_drag.feedback; other && other != this && other->hwnd()) {
        if (fw::FrameWindow* f = other->GetParentFrame()) SendMessageA(f->hwnd(), WM_NCACTIVATE, FALSE, 0);
        other->ViewFlags(0, QW_VF_ACTIVE);
        InvalidateRect(other->hwnd(), nullptr, FALSE);
        g_drag.feedback = nullptr;
    }
    if (fw::FrameWindow* f = GetParentFrame()) {
        SetWindowPos(f->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SendMessageA(f->hwnd(), WM_NCACTIVATE, TRUE, 0);
    }
    if (HasSelection()) {
        if (ViewFlags(-1, QW_VF_FOCUS)) g_drag.feedback = this;
        ViewFlags(1, QW_VF_ACTIVE);
        if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
    }
    drag_key_state_ = int(keys);
    return DropEffectFor(data, keys); // files open as a copy, whatever the keys
}

DWORD CQWEditView::DropEffectFor(IDataObject* data, DWORD keys) {
    if (IsViewOnly()) return DROPEFFECT_NONE;
    if (!DataObjectHasText(data)) return DataObjectHasFiles(data) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return DropEffectFromKeys(keys);
}

DWORD CQWEditView::OnDragOver(IDataObject* data, DWORD keys, POINT pt) {
    drag_key_state_ = int(keys);
    DWORD effect = DropEffectFor(data, keys);
    if (!DataObjectHasText(data)) return effect;
    if (effect == DROPEFFECT_NONE || HasPendingRows() || !hwnd()) return effect;
    const int cw = std::max(EditorCellWidth(), 1), ch = std::max(EditorCellHeight(), 1);
    if (!drop_caret_) {
        // Over this view the drop point replaces whatever caret was shown.
        drop_caret_ = CreateCaret(hwnd(), nullptr, std::min(cw / 3, 2), ch) != 0;
        if (drop_caret_) ShowCaret(hwnd());
    }
    if (drop_caret_) {
        const int margin = GetTextBarWidth();
        int cell = std::max((int(pt.x) - margin + cw / 2) / cw, 0);
        int row = std::max(int(pt.y), 0) / ch;
        SetCaretPos(margin + cell * cw, row * ch);
    }
    return effect;
}

DWORD CQWEditView::OnDragScroll(DWORD keys, POINT pt) {
    DWORD effect = DropEffectFromKeys(keys);
    if (IsViewOnly() || effect == DROPEFFECT_NONE || !hwnd()) {
        scroll_zone_since_ = 0;
        return effect;
    }
    RECT rc{};
    ::GetClientRect(hwnd(), &rc);
    const int cw = std::max(EditorCellWidth(), 1), ch = std::max(EditorCellHeight(), 1);
    const int margin = GetTextBarWidth();
    const int text_right = margin + int(GetVisibleColumns()) * cw;
    const int last_row_y = int(GetLinesInWindow()) * ch;
    int rows = 0, cols = 0;
    if (pt.y < rc.top + 5) rows = -1;
    else if (pt.y >= last_row_y || pt.y >= rc.bottom - 5) rows = 1;
    if (pt.x >= margin && pt.x < margin + 5) cols = -1;
    else if (pt.x >= text_right - 5 || pt.x >= rc.right - 5) cols = 1;
    if (!rows && !cols) {
        scroll_zone_since_ = 0;
        return effect;
    }
    const DWORD now = GetTickCount();
    if (!scroll_zone_since_) {
        scroll_zone_since_ = now ? now : 1;
        scroll_last_step_ = 0;
    }
    if (now - scroll_zone_since_ >= kDragScrollDelayMs &&
        (!scroll_last_step_ || now - scroll_last_step_ >= kDragScrollIntervalMs)) {
        scroll_last_step_ = now ? now : 1;
        // The drop caret would be drawn at a stale place while rows move.
        if (drop_caret_) SetCaretPos(-100, -100);
        if (rows < 0) ScrollLineEarlier(0);
        else if (rows > 0) ScrollLineLater(0);
        if (cols) ScrollColumns(cols);
    }
    return effect | DROPEFFECT_SCROLL;
}

void CQWEditView::OnDragLeave() {
    DestroyDropCaret();
    scroll_zone_since_ = 0;
    if (!ViewFlags(-1, QW_VF_FOCUS)) {
        if (fw::FrameWindow* f = GetParentFrame()) SendMessageA(f->hwnd(), WM_NCACTIVATE, FALSE, 0);
        if (HasSelection()) {
            ViewFlags(0, QW_VF_ACTIVE);
            if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
        }
    }
}

DWORD CQWEditView::OnDropEx(IDataObject* data, DWORD effect, DWORD allowed, POINT pt) {
    g_drag.feedback = nullptr;
    DestroyDropCaret();
    // Only a right-button drag asks what to do; the others drop at once.
    if (!(drag_key_state_ & MK_RBUTTON) || !hwnd()) return DWORD(-1);
    std::vector<std::string> entries = DropMenuEntries();
    HMENU menu = CreatePopupMenu();
    if (!menu) return DWORD(-1);
    const DWORD effects[] = {DROPEFFECT_MOVE, DROPEFFECT_COPY};
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].empty()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING;
        if (i < 2 && !(effects[i] & allowed)) flags |= MF_GRAYED;
        AppendMenuA(menu, flags, UINT_PTR(i + 1), entries[i].c_str());
        if (i < 2 && effects[i] == (effect & ~DROPEFFECT_SCROLL)) SetMenuDefaultItem(menu, UINT(i + 1), FALSE);
    }
    POINT screen = pt;
    ClientToScreen(hwnd(), &screen);
    int chosen = int(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, screen.x, screen.y, 0,
                                    hwnd(), nullptr));
    DestroyMenu(menu);
    if (chosen == 1 || chosen == 2) {
        DWORD e = effects[chosen - 1];
        return OnDrop(data, e, pt) ? e : DROPEFFECT_NONE;
    }
    OnDragLeave();
    UpdateCaret(GetInsertMode() != 0);
    return DROPEFFECT_NONE;
}

bool CQWEditView::OnDrop(IDataObject* data, DWORD effect, POINT pt) {
    g_drag.feedback = nullptr;
    DestroyDropCaret();
    scroll_zone_since_ = 0;
    effect &= DROPEFFECT_COPY | DROPEFFECT_MOVE;
    if (!HasBuffer() || IsViewOnly() || effect == DROPEFFECT_NONE) return false;
    g_drag.drop_handled = true;
    g_drag.drop_document = GetQWDoc();
    std::string text;
    int style = 0;
    if (!ReadDataObjectText(data, &text, &style)) {
        // Files dropped on the text open as documents.
        std::vector<std::string> paths;
        if (!ReadDataObjectFiles(data, &paths)) return false;
        fw::Application* app = fw::Application::Current();
        bool any = false;
        for (const std::string& p : paths) any |= app && app->OpenDocumentFile(p) != nullptr;
        return any;
    }
    CQWEditView* source = g_drag.source;
    const bool same_doc = source && source->GetQWDoc() == GetQWDoc() && source->GetBuffer() == GetBuffer();
    if (HWND f = EditorMainFrame()) SetForegroundWindow(f);
    if (fw::FrameWindow* f = GetParentFrame()) {
        if (auto* child = fw::DynamicDowncast<fw::MDIChildWindow>(f)) child->MDIActivate();
        else BringWindowToTop(f->hwnd());
    }
    if (hwnd() && GetFocus() != hwnd()) SetFocus(hwnd());
    MoveToPoint(pt.x, pt.y, 0x4 | 0x10);
    EditCore& e = LoadCore();
    bool moved = false;
    if (same_doc) {
        // The selection being dragged is the document's selection.
        EditCore& s = source == this ? e : source->LoadCore();
        if (EditSelectionContains(s, e.line, e.col, e.dcol, true)) {
            // Onto itself: nothing to move or copy.
            EditSetSelection(s, 3, false);
            if (source != this) source->StoreCore(true);
            StoreCore(true);
            g_drag.drop_document = nullptr;
            return false;
        }
        moved = (effect & DROPEFFECT_MOVE) != 0;
    }
    // One undo group for the whole drop, the source's removal included.
    EditRecordGroup(e, QW_UNDO_CLASS_CMD, 0, 0, nullptr);
    e.group_open = false;
    e.last_typed = -1;
    ++e.op_depth;
    if (moved && e.marks) {
        // The drop point is kept by a mark while the text before it goes.
        EditCore& s = source == this ? e : source->LoadCore();
        e.marks->Set(QW_MARK_SAVED_CARET, e.line, e.col);
        if (&s != &e) ++s.op_depth; // its removal belongs to this drop's group
        EditDeleteSelection(s);
        if (&s != &e) {
            --s.op_depth;
            source->StoreCore(true);
            LoadCore();
        }
        int l = e.line, c = e.col;
        if (e.marks->Get(QW_MARK_SAVED_CARET, &l, &c)) EditSetCaret(e, l, c);
        e.marks->Reset(QW_MARK_SAVED_CARET);
    } else if (EditHasSelection(e)) {
        // Dropped onto this view's own selection, the text replaces it.
        if (EditSelectionContains(e, e.line, e.col, e.dcol, true)) EditDeleteSelection(e);
        else EditSetSelection(e, 3, false);
    }
    int r = EditInsertText(e, text.data(), text.size(), style, QW_IB_CARET_END | QW_IB_SELECT);
    --e.op_depth;
    StoreCore(true);
    return r != 0;
}
