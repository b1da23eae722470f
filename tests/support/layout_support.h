// Pieces shared by the tests of the install layout: a control whose fields the test can see,
// log reading, and paths outside the sandbox that a test may create.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/OVCustInst.h"
#include "support/log_records.h"
#include "support/test_support.h"

namespace ovtest {
namespace layout {

using FieldRef = std::pair<std::string, ov::BStr ov::Layout::*>;

// The control class with its fields in view. Built from the same sources as the server
// module, so the fields that no property hands out can be checked too.
class VisibleFields : public ov::OVCustInst {
public:
    using ov::OVCustInst::MappedScriptServer;
    using ov::OVCustInst::layout;
    // The nineteen fields that Init fills, by name.
    static const std::vector<FieldRef>& InitFields() {
        using V = ov::Layout;
        static const std::vector<FieldRef> fields = {
            {"WindowsDir", &V::WindowsDir}, {"DownloadPath", &V::DownloadPath},
            {"CachedMLVersion", &V::CachedMLVersion}, {"MLReadMe", &V::MLReadMe},
            {"CachedMLDVersion", &V::CachedMLDVersion}, {"MLReadMeDev", &V::MLReadMeDev},
            {"ServerPath", &V::ServerPath}, {"LocalPLORVANPath", &V::LocalPLORVANPath},
            {"LocalNWXORVANPath", &V::LocalNWXORVANPath}, {"AppsPath", &V::AppsPath},
            {"ScriptingPath", &V::ScriptingPath}, {"ProductionPath", &V::ProductionPath},
            {"FilePath", &V::FilePath}, {"BitmapPath", &V::BitmapPath}, {"BackupPath", &V::BackupPath},
            {"DevelopPath", &V::DevelopPath}, {"HelpPath", &V::HelpPath},
            {"InstalledMLVersion", &V::InstalledMLVersion}, {"InstalledMLDVersion", &V::InstalledMLDVersion},
        };
        return fields;
    }
};

// A field's text, or "<null>" for a null BSTR.
inline std::string FieldText(BSTR b) { return b ? Narrow(b) : std::string("<null>"); }
inline std::string FieldText(const ov::BStr& b) { return FieldText(b.Get()); }

// One live object of that class, held by a reference of the test's.
class Probe {
public:
    Probe() : obj_(new ov::ComObject<VisibleFields>()) { obj_->AddRef(); }
    ~Probe() { obj_->Release(); }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    IOVCustInst* operator->() const { return obj_; }
    VisibleFields& Fields() const { return *obj_; }
    // One of the InitFields by name.
    BSTR Field(const std::string& name) const {
        for (const FieldRef& f : VisibleFields::InitFields())
            if (f.first == name) return (obj_->layout.*f.second).Get();
        throw std::invalid_argument(name);
    }
    std::string Text(const std::string& name) const { return FieldText(Field(name)); }

private:
    ov::ComObject<VisibleFields>* obj_;
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

// Paths outside the sandbox (in the prefix's C: drive, shared with other tests) that a test
// may create or change: at the end, those that were absent are removed (in reverse order),
// and files that existed get their old content back. With a directory, it is also the
// current one until the end, so that paths beginning with a backslash lie on its drive.
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
            DWORD attrs = GetFileAttributesA(it->c_str());
            if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) RemoveTree(*it);
            else DeleteFileA(it->c_str());
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

}  // namespace layout
}  // namespace ovtest
