#include "opsys/paths.h"

#include <cstring>
#include <vector>

#include "opsys/files.h"
#include "opsys/strlib.h"

namespace {

bool sep(char c) { return c == '\\' || c == '/'; }
bool is_drive(const char* p) {
    return p && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':';
}
bool is_share(const char* p) { return p && sep(p[0]) && sep(p[1]); }

// Length of the part of p that no operation may take apart: "C:\", "C:",
// "\\server\share", "\\server", or a single leading separator.
size_t root_len(const char* p) {
    if (!p || !*p) return 0;
    if (is_share(p)) {
        size_t i = 2;
        while (p[i] && !sep(p[i])) ++i;       // server
        if (!p[i]) return i;
        ++i;
        while (p[i] && !sep(p[i])) ++i;       // share
        return i;
    }
    if (is_drive(p)) return sep(p[2]) ? 3 : 2;
    if (sep(p[0])) return 1;
    return 0;
}

bool copy_path(char* dst, const char* src) {
    size_t n = src ? strlen(src) : 0;
    if (n > QW_PATH_MAX) {
        dst[0] = '\0';
        return false;
    }
    memmove(dst, src ? src : "", n + 1);
    return true;
}

// Canonical forms keep the separator the path itself uses first.
char out_sep(const char* p) {
    const char* s = p ? strpbrk(p, "\\/") : nullptr;
    return s ? *s : '\\';
}

} // namespace

int PathIsSep(int c) { return c == '\\' || c == '/'; }

const char* PathFileName(const char* p) {
    if (!p) return p;
    const char* name = p;
    for (const char* q = p; *q; ++q)
        if (sep(*q)) name = q + 1;
    if (name == p) {
        const char* colon = strrchr(p, ':');
        if (colon) name = colon + 1;
    }
    return name;
}
char* PathFileName(char* p) { return const_cast<char*>(PathFileName(static_cast<const char*>(p))); }

int PathHasDir(const char* p) { return p && PathFileName(p) != p; }

char* PathDirectory(char* dst, const char* p) {
    if (!dst) return nullptr;
    if (!copy_path(dst, p)) return nullptr;
    *PathFileName(dst) = '\0';
    size_t r = root_len(dst);
    size_t n = strlen(dst);
    while (n > r && sep(dst[n - 1])) dst[--n] = '\0';
    return dst;
}

char* PathJoin(char* dst, const char* dir, const char* name) {
    if (!dst) return nullptr;
    if (!dir) dir = "";
    if (!name) name = "";
    size_t dl = strlen(dir), nl = strlen(name);
    bool add_sep = nl && dl && !sep(dir[dl - 1]) && !(dl == 2 && is_drive(dir));
    size_t total = dl + (add_sep ? 1 : 0) + nl;
    if (total > QW_PATH_MAX) {
        dst[0] = '\0';
        return nullptr;
    }
    char tmp[QW_PATH_BUF];
    memcpy(tmp, dir, dl);
    size_t o = dl;
    if (add_sep) tmp[o++] = '\\';
    memcpy(tmp + o, name, nl);
    tmp[total] = '\0';
    memcpy(dst, tmp, total + 1);
    return dst;
}

char* PathStripTrailingSep(char* p) {
    if (!p) return p;
    size_t r = root_len(p);
    size_t n = strlen(p);
    while (n > r && sep(p[n - 1])) p[--n] = '\0';
    return p;
}

const char* PathExtension(const char* p) {
    if (!p) return nullptr;
    const char* dot = strrchr(PathFileName(p), '.');
    return dot ? dot + 1 : nullptr;
}
char* PathExtension(char* p) { return const_cast<char*>(PathExtension(static_cast<const char*>(p))); }

const char* PathLastDot(const char* p, const char* last) {
    if (!p) return nullptr;
    const char* q = last ? last : p + strlen(p);
    while (q > p) {
        --q;
        if (sep(*q)) return nullptr;
        if (*q == '.') return q;
    }
    return nullptr;
}

int PathSetExtension(char* p, const char* ext) {
    if (!p) return 0;
    char tmp[QW_PATH_BUF];
    if (!copy_path(tmp, p)) return 0;
    char* old = PathExtension(tmp);
    if (old) old[-1] = '\0';
    if (ext && *ext == '.') ++ext;
    if (ext && *ext) {
        size_t n = strlen(tmp), e = strlen(ext);
        if (n + 1 + e > QW_PATH_MAX) return 0;
        tmp[n] = '.';
        memcpy(tmp + n + 1, ext, e + 1);
    }
    strcpy(p, tmp);
    return 1;
}

int PathRootKind(const char* p) {
    if (is_share(p)) return 1;
    if (is_drive(p)) return 0;
    return -1;
}

int PathEqualsRoot(const char* p) {
    size_t r = root_len(p);
    if (!r) return 0;
    for (const char* q = p + r; *q; ++q)
        if (!sep(*q)) return 0;
    return 1;
}

const char* PathSkipUNCPrefix(const char* p) { return is_share(p) ? p + 2 : p; }

int PathIsUNCShare(char* p) {
    if (!is_share(p)) return 0;
    size_t i = 2, server = 0, share = 0;
    while (p[i] && !sep(p[i])) ++i, ++server;
    if (!server || !p[i]) return 0;
    ++i;
    while (p[i] && !sep(p[i])) ++i, ++share;
    if (!share) return 0;
    if (p[i]) {
        if (p[i + 1]) return 0;   // something follows the share
        return 1;
    }
    if (i < QW_PATH_MAX) {
        p[i] = '\\';
        p[i + 1] = '\0';
    }
    return 1;
}

char* PathGetRoot(char* dst, const char* p, int server_only, int* is_share_out) {
    if (is_share_out) *is_share_out = 0;
    if (!dst) return nullptr;
    dst[0] = '\0';
    if (!p) return nullptr;
    size_t n;
    if (is_share(p)) {
        if (is_share_out) *is_share_out = 1;
        n = 2;
        while (p[n] && !sep(p[n])) ++n;
        if (!server_only && p[n]) {
            ++n;
            while (p[n] && !sep(p[n])) ++n;
        }
    } else if (is_drive(p)) {
        n = 2;
    } else {
        return nullptr;
    }
    if (n > QW_PATH_MAX) return nullptr;
    memcpy(dst, p, n);
    dst[n] = '\0';
    return dst;
}

int PathCharsValid(const char* p) {
    if (!p) return 0;
    size_t n = strlen(p);
    for (size_t i = 0; i < n; ++i) {
        char c = p[i];
        if (c == '|' || c == '<' || c == '>') return 0;
        if (c == '"' && i != 0 && i != n - 1) return 0;
        if (i >= 1 && sep(c) && sep(p[i + 1])) return 0;
    }
    return 1;
}

int PathCheck(const char* p) {
    if (!p) return 2;
    if (strnlen(p, QW_PATH_BUF) >= QW_PATH_BUF) return 1;
    return PathCharsValid(p) ? 0 : 2;
}

int PathIsRelative(const char* p, const char** rest) {
    if (rest) *rest = p;
    if (!p) return 0;
    if (sep(p[0]) || is_drive(p)) return 0;
    if (rest && p[0] == '.' && sep(p[1])) *rest = p + 2;
    return 1;
}

int PathSameRoot(const char* a, const char* b) {
    char ra[QW_PATH_BUF], rb[QW_PATH_BUF];
    if (!PathGetRoot(ra, a, 0, nullptr) || !PathGetRoot(rb, b, 0, nullptr)) return -1;
    return StrEqualNoCase(ra, rb) ? 1 : 0;
}

int PathFileNameEquals(const char* p, const char* name) {
    return p && name && strcmp(PathFileName(p), name) == 0;
}

int PathCompareFileNames(const char* a, const char* b) {
    return a && b && strcmp(PathFileName(a), PathFileName(b)) == 0;
}

int PathSameExtension(const char* a, const char* b) {
    if (!a || !b) return 0;
    const char* ea = PathExtension(a);
    const char* eb;
    if (!strchr(b, '.') && !strpbrk(b, "\\/:")) eb = b;   // a bare extension
    else eb = PathExtension(b);
    return StrEqualNoCase(ea ? ea : "", eb ? eb : "");
}

int PathSameNameNoExt(const char* a, const char* b) {
    char ca[QW_PATH_BUF], cb[QW_PATH_BUF];
    if (!a || !b || !copy_path(ca, a) || !copy_path(cb, b)) return 0;
    PathSetExtension(ca, nullptr);
    PathSetExtension(cb, nullptr);
    return StrEqualNoCase(ca, cb);
}

int PathSameDir(const char* a, const char* b) {
    char da[QW_PATH_BUF], db[QW_PATH_BUF];
    if (!PathDirectory(da, a) || !PathDirectory(db, b)) return 0;
    return StrEqualNoCase(da, db);
}

int PathCommonPrefix(const char* a, const char* b, char* dst) {
    if (dst) dst[0] = '\0';
    if (!a || !b) return 0;
    size_t i = 0;
    while (a[i] && b[i] &&
           (CharToUpper(static_cast<unsigned char>(a[i])) == CharToUpper(static_cast<unsigned char>(b[i])) ||
            (sep(a[i]) && sep(b[i]))))
        ++i;
    size_t n = i;
    bool boundary = (!a[n] || sep(a[n])) && (!b[n] || sep(b[n]));
    if (!boundary) {
        while (n > 0 && !sep(a[n - 1])) --n;
        if (n > 0) --n;
    }
    size_t r = root_len(a);
    if (n < r) n = (i >= r && r == root_len(b)) ? r : 0;
    while (n > r && sep(a[n - 1])) --n;
    if (n > QW_PATH_MAX) n = 0;
    if (dst) {
        memcpy(dst, a, n);
        dst[n] = '\0';
    }
    return static_cast<int>(n);
}

int PathIsUnder(const char* dir, const char* p) {
    char d[QW_PATH_BUF];
    if (!dir || !p || !copy_path(d, dir)) return 0;
    PathStripTrailingSep(d);
    int n = PathCommonPrefix(d, p, nullptr);
    return n >= 1 && static_cast<size_t>(n) == strlen(d);
}

int PathSameDirectory(const char* a, const char* b) { return PathIsUnder(a, b); }

int PathCanonicalize(char* p) {
    if (!p) return 0;
    char s = out_sep(p);
    size_t r = root_len(p);
    std::string root(p, r);
    std::vector<std::string> parts;
    const char* q = p + r;
    while (*q) {
        while (sep(*q)) ++q;
        const char* start = q;
        while (*q && !sep(*q)) ++q;
        std::string part(start, static_cast<size_t>(q - start));
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") parts.pop_back();
            else if (r == 0) parts.push_back(part);
            // at the root of an absolute path ".." stays at the root
            continue;
        }
        parts.push_back(part);
    }
    std::string out = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!out.empty() && !sep(out.back()) && !(out.size() == 2 && is_drive(out.c_str()))) out += s;
        out += parts[i];
    }
    if (out.empty() && r == 0 && *p) out = ".";
    if (out.size() > QW_PATH_MAX) return 0;
    memcpy(p, out.c_str(), out.size() + 1);
    return 1;
}

char* PathMakeAbsolute(char* dst, const char* base, const char* rel) {
    if (!dst) return nullptr;
    dst[0] = '\0';
    if (!rel) return nullptr;
    char tmp[QW_PATH_BUF];
    if (is_drive(rel) || is_share(rel)) {
        if (!copy_path(tmp, rel)) return nullptr;
    } else if (sep(rel[0])) {
        // rooted on the base's drive or share
        char root[QW_PATH_BUF];
        if (!PathGetRoot(root, base, 0, nullptr)) {
            if (!copy_path(tmp, rel)) return nullptr;
        } else {
            size_t a = strlen(root), b = strlen(rel);
            if (a + b > QW_PATH_MAX) return nullptr;
            memcpy(tmp, root, a);
            memcpy(tmp + a, rel, b + 1);
        }
        PathCanonicalize(tmp);
    } else {
        if (!PathJoin(tmp, base ? base : "", rel)) return nullptr;
        PathCanonicalize(tmp);
    }
    strcpy(dst, tmp);
    return dst;
}

std::string PathMakeAbsolute(const char* base, const char* rel) {
    char out[QW_PATH_BUF];
    return PathMakeAbsolute(out, base, rel) ? std::string(out) : std::string(rel ? rel : "");
}

int PathRelative(char* dst, const char* dir, const char* file) {
    if (!dst) return 0;
    dst[0] = '\0';
    if (!file) return 0;
    char d[QW_PATH_BUF], f[QW_PATH_BUF];
    if (!dir || !copy_path(d, dir) || !copy_path(f, file) || PathSameRoot(d, f) != 1) {
        copy_path(dst, file);
        return 0;
    }
    PathCanonicalize(d);
    PathCanonicalize(f);
    PathStripTrailingSep(d);
    size_t common = static_cast<size_t>(PathCommonPrefix(d, f, nullptr));
    int ups = 0;
    for (const char* q = d + common; *q;) {
        while (sep(*q)) ++q;
        if (!*q) break;
        ++ups;
        while (*q && !sep(*q)) ++q;
    }
    const char* rest = f + common;
    while (sep(*rest)) ++rest;
    std::string out;
    if (ups == 0) out = ".\\";
    for (int i = 0; i < ups; ++i) out += "..\\";
    out += rest;
    if (out.size() > QW_PATH_MAX) {
        copy_path(dst, file);
        return 0;
    }
    memcpy(dst, out.c_str(), out.size() + 1);
    return 1;
}

std::string PathRelative(const char* dir, const char* file) {
    char out[QW_PATH_BUF];
    PathRelative(out, dir, file);
    return out;
}

int PathIsInCurrentDir(const char* p) {
    if (!p || !*p) return 0;
    if (!PathHasDir(p)) return 1;
    char cur[QW_PATH_BUF], dir[QW_PATH_BUF], abs[QW_PATH_BUF];
    if (!CurrentDirGet(cur) || !PathDirectory(dir, p) || !PathMakeAbsolute(abs, cur, dir)) return 0;
    PathStripTrailingSep(cur);
    PathStripTrailingSep(abs);
    return StrEqualNoCase(cur, abs);
}

const char* PathDisplayName(const char* p, int short_form) {
    if (!p) return p;
    return short_form && PathIsInCurrentDir(p) ? PathFileName(p) : p;
}

std::string PathFileNameStr(const char* p) { return p ? PathFileName(p) : ""; }

std::string PathFileNameNoExtStr(const char* p) {
    std::string name = PathFileNameStr(p);
    const char* ext = PathExtension(name.c_str());
    if (ext) name.resize(static_cast<size_t>(ext - name.c_str()) - 1);
    return name;
}

std::string PathDirectoryStr(const char* p) {
    char d[QW_PATH_BUF];
    return PathDirectory(d, p) ? std::string(d) : std::string();
}

std::string PathSetExtensionStr(std::string& path, const char* ext) {
    char tmp[QW_PATH_BUF];
    if (copy_path(tmp, path.c_str()) && PathSetExtension(tmp, ext)) path = tmp;
    return path;
}

std::string PathJoinStd(const std::string& dir, const std::string& name) {
    char out[QW_PATH_BUF];
    return PathJoin(out, dir.c_str(), name.c_str()) ? std::string(out) : std::string();
}

std::string PathFileNameStd(const std::string& p) { return PathFileName(p.c_str()); }
std::string PathFileNameNoExtStd(const std::string& p) { return PathFileNameNoExtStr(p.c_str()); }

std::string PathExtensionStd(const std::string& p) {
    const char* e = PathExtension(p.c_str());
    return e ? e : "";
}

std::string PathSetExtensionStd(const std::string& p, const std::string& ext) {
    std::string copy = p;
    return PathSetExtensionStr(copy, ext.empty() ? nullptr : ext.c_str());
}
