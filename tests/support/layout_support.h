// Pieces shared by the tests of the install layout: a control whose fields the test can see,
// INI reading, log records, and paths outside the sandbox that a test may create.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "control/OVCustInst.h"
#include "support/test_support.h"

namespace ovtest {
namespace layout {

// The control class with its fields in view. Built from the same sources as the server
// module, so the fields that no property hands out can be checked too.
class VisibleFields : public ov::OVCustInst {
public:
    using ov::OVCustInst::AppsPath;
    using ov::OVCustInst::BackupPath;
    using ov::OVCustInst::BitmapPath;
    using ov::OVCustInst::CachedMLDVersion;
    using ov::OVCustInst::CachedMLVersion;
    using ov::OVCustInst::DevelopPath;
    using ov::OVCustInst::DownloadPath;
    using ov::OVCustInst::FilePath;
    using ov::OVCustInst::HelpPath;
    using ov::OVCustInst::InstalledMLDVersion;
    using ov::OVCustInst::InstalledMLVersion;
    using ov::OVCustInst::LocalNWXORVANPath;
    using ov::OVCustInst::LocalPLORVANPath;
    using ov::OVCustInst::MappedScriptServer;
    using ov::OVCustInst::MLReadMe;
    using ov::OVCustInst::MLReadMeDev;
    using ov::OVCustInst::ProductionPath;
    using ov::OVCustInst::ScriptingPath;
    using ov::OVCustInst::ServerPath;
    using ov::OVCustInst::WindowsDir;
};

// One live object of that class, held by a reference of the test's.
class Probe {
public:
    Probe() : obj_(new ov::ComObject<VisibleFields>()) { obj_->AddRef(); }
    ~Probe() { obj_->Release(); }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    IOVCustInst* operator->() const { return obj_; }
    IOVCustInst* Get() const { return obj_; }
    VisibleFields& Fields() const { return *obj_; }

private:
    ov::ComObject<VisibleFields>* obj_;
};

// The nineteen fields that Init fills, by name.
struct FieldRef {
    const char* name;
    BSTR ov::OVCustInst::*member;
};

inline const std::vector<FieldRef>& InitFields() {
    static const std::vector<FieldRef> fields = {
        {"WindowsDir", &VisibleFields::WindowsDir},
        {"DownloadPath", &VisibleFields::DownloadPath},
        {"CachedMLVersion", &VisibleFields::CachedMLVersion},
        {"MLReadMe", &VisibleFields::MLReadMe},
        {"CachedMLDVersion", &VisibleFields::CachedMLDVersion},
        {"MLReadMeDev", &VisibleFields::MLReadMeDev},
        {"ServerPath", &VisibleFields::ServerPath},
        {"LocalPLORVANPath", &VisibleFields::LocalPLORVANPath},
        {"LocalNWXORVANPath", &VisibleFields::LocalNWXORVANPath},
        {"AppsPath", &VisibleFields::AppsPath},
        {"ScriptingPath", &VisibleFields::ScriptingPath},
        {"ProductionPath", &VisibleFields::ProductionPath},
        {"FilePath", &VisibleFields::FilePath},
        {"BitmapPath", &VisibleFields::BitmapPath},
        {"BackupPath", &VisibleFields::BackupPath},
        {"DevelopPath", &VisibleFields::DevelopPath},
        {"HelpPath", &VisibleFields::HelpPath},
        {"InstalledMLVersion", &VisibleFields::InstalledMLVersion},
        {"InstalledMLDVersion", &VisibleFields::InstalledMLDVersion},
    };
    return fields;
}

// A field's text, or "<null>" for a null BSTR.
inline std::string FieldText(BSTR b) { return b ? Narrow(b) : std::string("<null>"); }

// The value of a profile key, or "<missing>".
inline std::string IniValue(const std::string& path, const char* app, const char* key) {
    char buf[1024] = {};
    DWORD n = GetPrivateProfileStringA(app, key, "<missing>", buf, sizeof buf, path.c_str());
    return std::string(buf, n);
}

// One record of OVCILog.txt: its header values and everything after "Reason:  ".
struct LogRecord {
    std::string file;
    std::string line;
    std::string hresult;
    std::string body;
};

inline std::vector<LogRecord> ParseLog(const std::string& log) {
    std::vector<LogRecord> out;
    const std::string start = "\r\nTime: (mm/dd/yy)";
    size_t at = log.find(start);
    while (at != std::string::npos) {
        size_t next = log.find(start, at + start.size());
        std::string chunk = log.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
        auto field = [&chunk](const std::string& label) {
            size_t p = chunk.find("\r\n" + label);
            if (p == std::string::npos) return std::string("<none>");
            p += 2 + label.size();
            return chunk.substr(p, chunk.find("\r\n", p) - p);
        };
        LogRecord r{field("File:    "), field("Line:    "), field("HRESULT: "), ""};
        size_t reason = chunk.find("\r\nReason:  ");
        if (reason != std::string::npos) r.body = chunk.substr(reason + 11);
        out.push_back(r);
        at = next;
    }
    return out;
}

inline bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A record body that ends with these whole pieces: they start the body (a code without
// system text has an empty reason) or follow the reason's own line end.
inline bool EndsWithPieces(const std::string& body, const std::string& pieces) {
    if (!EndsWith(body, pieces)) return false;
    size_t at = body.size() - pieces.size();
    return at == 0 || body[at - 1] == '\n';
}

// Paths outside the sandbox that a test may create or change (in the prefix's C: drive,
// shared with other tests). At the end, whichever did not exist at the start is removed
// (files and whole trees alike, in reverse order), and files that did exist get their old
// content back.
class RestorePathsGuard {
public:
    explicit RestorePathsGuard(std::vector<std::string> paths) {
        for (auto& p : paths) {
            DWORD attrs = GetFileAttributesA(p.c_str());
            if (attrs == INVALID_FILE_ATTRIBUTES) absent_.push_back(p);
            else if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) saved_.push_back({p, ReadFileText(p)});
        }
    }
    ~RestorePathsGuard() {
        for (auto& f : saved_) WriteFileText(f.first, f.second);
        for (auto it = absent_.rbegin(); it != absent_.rend(); ++it) {
            DWORD attrs = GetFileAttributesA(it->c_str());
            if (attrs == INVALID_FILE_ATTRIBUTES) continue;
            if (attrs & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(*it);
            else DeleteFileA(it->c_str());
        }
    }
    RestorePathsGuard(const RestorePathsGuard&) = delete;
    RestorePathsGuard& operator=(const RestorePathsGuard&) = delete;

private:
    std::vector<std::string> absent_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

// Makes a directory the process's current one until the guard ends: paths that begin with a
// backslash then lie on its drive.
class CurrentDirectoryGuard {
public:
    explicit CurrentDirectoryGuard(const std::string& dir) {
        GetCurrentDirectoryA(sizeof old_, old_);
        SetCurrentDirectoryA(dir.c_str());
    }
    ~CurrentDirectoryGuard() { SetCurrentDirectoryA(old_); }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    char old_[MAX_PATH + 1] = {};
};

}  // namespace layout
}  // namespace ovtest
