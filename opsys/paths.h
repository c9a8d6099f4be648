#pragma once
// File names as texts: taking paths apart and joining them, roots (drive
// letters and network shares), relative and common paths. `\` and `/` both
// separate; joining inserts `\`. Buffers hold QW_PATH_MAX characters plus the
// terminator. A function whose result names a file fails (null, 0 or -1, the
// output empty) rather than cut a result longer than QW_PATH_MAX.
#include <cstddef>
#include <string>

enum : size_t {
    QW_PATH_MAX = 260,         // characters of a path
    QW_PATH_BUF = QW_PATH_MAX + 1,
};

int PathIsSep(int c);

// The part after the last `\`, else `/`, else `:`, else the whole.
const char* PathFileName(const char* p);
char* PathFileName(char* p);
int PathHasDir(const char* p);
// Copy without the file name and its separator (kept after a root); dst or null.
char* PathDirectory(char* dst, const char* p);
// dir + `\` (unless dir is empty, a root or ends in a separator) + name; an
// empty name leaves dir alone. dst, or null (dst empty) when too long.
char* PathJoin(char* dst, const char* dir, const char* name);
// Removes trailing separators, never from a root. Returns p.
char* PathStripTrailingSep(char* p);
// The text after the last `.` of the file name, or null.
const char* PathExtension(const char* p);
char* PathExtension(char* p);
// The last dot scanning back from `last` (or the end) to a separator, or null.
const char* PathLastDot(const char* p, const char* last = nullptr);
// Replaces, adds (a leading `.` of ext skipped) or removes (ext null or
// empty) the extension in place (p holds QW_PATH_BUF). 0 when too long (p unchanged).
int PathSetExtension(char* p, const char* ext);

// 1 network share, 0 other root (drive, or a leading separator), -1 none.
int PathRootKind(const char* p);
int PathEqualsRoot(const char* p);
// Past the two leading separators of a share.
const char* PathSkipUNCPrefix(const char* p);
// Nonzero when p is exactly `\\server\share`; a missing trailing separator
// is then appended in place (p holds QW_PATH_BUF).
int PathIsUNCShare(char* p);
// The root (`\\server\share`, `\\server` when server_only, or the drive);
// dst or null (dst empty) when there is none.
char* PathGetRoot(char* dst, const char* p, int server_only, int* is_share);
// 0 usable, 1 too long (261 characters or more), 2 invalid characters.
int PathCheck(const char* p);
int PathCharsValid(const char* p);
// Nonzero when p starts with neither a separator nor a drive; *rest is p
// without a leading `.\`.
int PathIsRelative(const char* p, const char** rest = nullptr);

int PathSameRoot(const char* a, const char* b);
int PathFileNameEquals(const char* p, const char* name);
int PathCompareFileNames(const char* a, const char* b);
// Equal extensions, case ignored; b may also be a bare extension ("c", ".c").
int PathSameExtension(const char* a, const char* b);
int PathSameNameNoExt(const char* a, const char* b);
int PathSameDir(const char* a, const char* b);
// Nonzero when the common prefix (whole components, case ignored) of dir and p is dir.
int PathIsUnder(const char* dir, const char* p);
int PathSameDirectory(const char* a, const char* b);
// The common leading components of a and b (case ignored); its length.
int PathCommonPrefix(const char* a, const char* b, char* dst);

// Removes `.` and `..` components and doubled separators in place; `..` at
// the root of an absolute path stays at the root. 0 when p is null.
int PathCanonicalize(char* p);
// file relative to the folder dir (".\" and "..\" forms); when the roots
// differ the file unchanged and 0. Nonzero for a relative result.
int PathRelative(char* dst, const char* dir, const char* file);
std::string PathRelative(const char* dir, const char* file);
// The absolute form of rel against base; a rooted path is kept. dst or null.
char* PathMakeAbsolute(char* dst, const char* base, const char* rel);
std::string PathMakeAbsolute(const char* base, const char* rel);

// Whether the file lies in the current directory; the path for display
// (the file-name part when short is set and the file is there).
int PathIsInCurrentDir(const char* p);
const char* PathDisplayName(const char* p, int short_form);

// String forms.
std::string PathFileNameStr(const char* p);
std::string PathFileNameNoExtStr(const char* p);
std::string PathDirectoryStr(const char* p);
std::string PathSetExtensionStr(std::string& path, const char* ext);
std::string PathJoinStd(const std::string& dir, const std::string& name);
std::string PathFileNameStd(const std::string& p);
std::string PathFileNameNoExtStd(const std::string& p);
std::string PathExtensionStd(const std::string& p);
std::string PathSetExtensionStd(const std::string& p, const std::string& ext);

// Removes surrounding double quotes, then the platform's full path name:
// 1 when it has fewer than 260 characters; otherwise dst receives the
// unquoted input and the result is 0.
int PathFullName(char* dst, const char* p);
