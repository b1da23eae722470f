// The one place that reaches into the control's own fields: a control object of this process
// (built from the server's sources) with the fields that Init fills and the mapped server in
// view, and what the tests of the install layout share.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/OVCustInst.h"
#include "support/test_support.h"

namespace ovtest {

// A field's text, or "<null>" for a null BSTR.
inline std::string FieldText(BSTR b) { return b ? Narrow(b) : std::string("<null>"); }

class Probe {
    struct Visible : ov::OVCustInst {
        using Ref = BSTR ov::OVCustInst::*;
        // The nineteen fields that Init fills, by name.
        static const std::vector<std::pair<std::string, Ref>>& Fields() {
            static const std::vector<std::pair<std::string, Ref>> fields = {
                {"WindowsDir", &Visible::WindowsDir}, {"DownloadPath", &Visible::DownloadPath},
                {"CachedMLVersion", &Visible::CachedMLVersion}, {"MLReadMe", &Visible::MLReadMe},
                {"CachedMLDVersion", &Visible::CachedMLDVersion}, {"MLReadMeDev", &Visible::MLReadMeDev},
                {"ServerPath", &Visible::ServerPath}, {"LocalPLORVANPath", &Visible::LocalPLORVANPath},
                {"LocalNWXORVANPath", &Visible::LocalNWXORVANPath}, {"AppsPath", &Visible::AppsPath},
                {"ScriptingPath", &Visible::ScriptingPath}, {"ProductionPath", &Visible::ProductionPath},
                {"FilePath", &Visible::FilePath}, {"BitmapPath", &Visible::BitmapPath},
                {"BackupPath", &Visible::BackupPath}, {"DevelopPath", &Visible::DevelopPath},
                {"HelpPath", &Visible::HelpPath}, {"InstalledMLVersion", &Visible::InstalledMLVersion},
                {"InstalledMLDVersion", &Visible::InstalledMLDVersion}};
            return fields;
        }
        BSTR Field(const std::string& name) const {
            for (const auto& f : Fields())
                if (f.first == name) return this->*f.second;
            throw std::invalid_argument(name);
        }
        BSTR Mapped() const { return MappedScriptServer; }
    };

public:
    Probe() : obj_(new ov::ComObject<Visible>()) { obj_->AddRef(); }
    ~Probe() { obj_->Release(); }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    ov::OVCustInst* operator->() const { return obj_; }
    static std::vector<std::string> InitFieldNames() {
        std::vector<std::string> names;
        for (const auto& f : Visible::Fields()) names.push_back(f.first);
        return names;
    }
    BSTR Field(const std::string& name) const { return obj_->Field(name); }
    std::string Text(const std::string& name) const { return FieldText(Field(name)); }
    BSTR MappedScriptServer() const { return obj_->Mapped(); }
    // Every field of Init's: where it points and what it says.
    std::vector<std::pair<const void*, std::string>> Snapshot() const {
        std::vector<std::pair<const void*, std::string>> out;
        for (const auto& f : Visible::Fields()) out.push_back({obj_->*f.second, FieldText(obj_->*f.second)});
        return out;
    }

private:
    ov::ComObject<Visible>* obj_;
};

// The records of OVCILog.txt, each checked for its layout; tail holds what follows "Reason:  ".
inline std::vector<ParsedRecord> LogOf(const InstallSandbox& sandbox) {
    ParsedLog log = SplitLogRecords(sandbox.LogText());
    EXPECT_EQ(log.error, "");
    for (ParsedRecord& r : log.records) r.tail.erase(0, 9);
    return log.records;
}

// A record's tail that ends with these whole pieces: they start it (a code without system
// text has an empty reason) or follow the reason's own line end.
inline bool EndsWithPieces(const std::string& tail, const std::string& pieces) {
    if (tail.size() < pieces.size() || tail.compare(tail.size() - pieces.size(), pieces.size(), pieces)) return false;
    size_t at = tail.size() - pieces.size();
    return at == 0 || tail[at - 1] == '\n';
}

// Paths outside the sandbox (on the prefix's C: drive) that a test may create or change: those
// that were absent are removed at the end, in reverse order, and files get their old content
// back. With a directory, it is also the current one until the end, so that paths beginning
// with a backslash lie on its drive.
class OutsidePathsGuard {
public:
    explicit OutsidePathsGuard(std::vector<std::string> paths, const std::string& currentDir = "") {
        GetCurrentDirectoryA(sizeof oldDir_, oldDir_);
        if (!currentDir.empty()) SetCurrentDirectoryA(currentDir.c_str());
        for (auto& p : paths) {
            DWORD attrs = GetFileAttributesA(p.c_str());
            if (attrs == INVALID_FILE_ATTRIBUTES) absent_.push_back(p);
            else if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) saved_.push_back({p, ReadFileText(p)});
        }
    }
    ~OutsidePathsGuard() {
        for (auto& f : saved_) WriteFileText(f.first, f.second);
        for (auto it = absent_.rbegin(); it != absent_.rend(); ++it) {
            RemoveTree(*it);
            DeleteFileA(it->c_str());
        }
        SetCurrentDirectoryA(oldDir_);
    }
    OutsidePathsGuard(const OutsidePathsGuard&) = delete;
    OutsidePathsGuard& operator=(const OutsidePathsGuard&) = delete;

private:
    char oldDir_[MAX_PATH + 1] = {};
    std::vector<std::string> absent_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

}  // namespace ovtest
