// The one place that reaches into the control's own fields (a control object of this process,
// built from the server's sources), and what the tests of the install layout share.
#pragma once

#include <gtest/gtest.h>

#include <map>
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
        // The nineteen fields that Init fills, by name: where each lies and what it says
        // ("<null>" before the first successful Init).
        std::map<std::string, std::pair<const void*, std::string>> Snapshot() const {
            std::map<std::string, std::pair<const void*, std::string>> out;
            const ov::Layout& l = layout;
            for (const auto& [name, field] : std::map<std::string, const char*>{
                     {"WindowsDir", l.WindowsDir}, {"DownloadPath", l.DownloadPath},
                     {"CachedMLVersion", l.CachedMLVersion}, {"MLReadMe", l.MLReadMe},
                     {"CachedMLDVersion", l.CachedMLDVersion}, {"MLReadMeDev", l.MLReadMeDev},
                     {"ServerPath", l.ServerPath}, {"LocalPLORVANPath", l.LocalPLORVANPath},
                     {"LocalNWXORVANPath", l.LocalNWXORVANPath}, {"AppsPath", l.AppsPath},
                     {"ScriptingPath", l.ScriptingPath}, {"ProductionPath", l.ProductionPath},
                     {"FilePath", l.FilePath}, {"BitmapPath", l.BitmapPath},
                     {"BackupPath", l.BackupPath}, {"DevelopPath", l.DevelopPath},
                     {"HelpPath", l.HelpPath}, {"InstalledMLVersion", l.InstalledMLVersion},
                     {"InstalledMLDVersion", l.InstalledMLDVersion}})
                out[name] = {field, l.filled ? std::string(field) : std::string("<null>")};
            return out;
        }
        BSTR Mapped() const { return MappedScriptServer.Get(); }
    };

public:
    Probe() : obj_(new ov::ComObject<Visible>()) { obj_->AddRef(); }
    ~Probe() { obj_->Release(); }
    ov::OVCustInst* operator->() const { return obj_; }
    std::map<std::string, std::pair<const void*, std::string>> Snapshot() const { return obj_->Snapshot(); }
    std::string Text(const std::string& name) const { return Snapshot().at(name).second; }
    BSTR MappedScriptServer() const { return obj_->Mapped(); }

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

// A record's tail ends with these whole pieces: after the reason's line end, or alone.
inline bool EndsWithPieces(const std::string& tail, const std::string& pieces) {
    const size_t at = tail.size() - pieces.size();
    return tail.size() >= pieces.size() && tail.substr(at) == pieces && (at == 0 || tail[at - 1] == '\n');
}

// Paths outside the sandbox (on the prefix's C: drive) that a test may create or change: put
// back at the end. Until then the sandbox is the current directory, so "\x" lies on C: too.
class OutsidePathsGuard {
public:
    OutsidePathsGuard(const std::vector<std::string>& paths, const InstallSandbox& sandbox) {
        GetCurrentDirectoryA(sizeof oldDir_, oldDir_);
        SetCurrentDirectoryA(sandbox.Path().c_str());
        for (const auto& p : paths) saved_.insert(saved_.begin(), {p, PathExists(p) ? ReadFileText(p) : "<absent>"});
    }
    ~OutsidePathsGuard() {
        for (const auto& [path, text] : saved_) {
            if (text == "<absent>") RemoveTree(path), DeleteFileA(path.c_str());
            else if (!(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) WriteFileText(path, text);
        }
        SetCurrentDirectoryA(oldDir_);
    }

private:
    char oldDir_[MAX_PATH + 1] = {};
    std::vector<std::pair<std::string, std::string>> saved_;
};

}  // namespace ovtest
