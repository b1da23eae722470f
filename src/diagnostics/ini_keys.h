// The INI and INF keys the system reads and writes, each with the labels its reports carry:
// the section's label and name, the key's label and name, and the label of its value (null
// where a failed write names the file only). Plain data.
#pragma once

namespace ov {

struct IniKey {
    const char* appLabel;
    const char* app;
    const char* keyLabel;
    const char* key;
    const char* valueLabel;
};

// Wkstn.ini
inline constexpr IniKey kServerPathKey{"WKSTN_APP_NAME: ", "Workstation", "SERVER_PATH_KEY_NAME: ", "ServerPath",
                                       "szServerPath: "};
inline constexpr IniKey kWkstnProductionKey{"SCRIPTING_APP_NAME: ", "Scripting", "PRODUCTION_PATH_KEY_NAME: ",
                                            "ProductionPath", "szBuf: "};
// Orvan.ini
inline constexpr IniKey kAppsPathKey{"APPLICATIONS_APP_NAME: ", "Applications", "APPS_PATH_KEY_NAME: ", "AppsPath",
                                     "szAppsPath: "};
inline constexpr IniKey kScriptingPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "SCRIPTING_PATH_KEY_NAME: ",
                                          "ScriptingPath", "szScriptingPath: "};
inline constexpr IniKey kProductionPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "PRODUCTION_PATH_KEY_NAME: ",
                                           "ProductionPath", "szProductionPath: "};
inline constexpr IniKey kFilePathKey{"SCRIPTING_APP_NAME: ", "Scripting", "FILE_PATH_KEY_NAME: ", "FilePath",
                                     "szFilePath: "};
inline constexpr IniKey kBitmapPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "BITMAP_PATH_KEY_NAME: ", "BitmapPath",
                                       "szBitmapPath: "};
inline constexpr IniKey kBackupPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "BACKUP_PATH_KEY_NAME: ", "BackupPath",
                                       "szBackupPath: "};
inline constexpr IniKey kDevelopmentPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "DEVELOPMENT_PATH_KEY_NAME: ",
                                            "DevelopmentPath", "szDevelopmentPath: "};
inline constexpr IniKey kCommandKey{"SCRIPTING_APP_NAME: ", "Scripting", "COMMAND_FILE_KEY_NAME: ", "Command",
                                    "szCommandFile: "};
inline constexpr IniKey kCommandInsertListKey{"SCRIPTING_APP_NAME: ", "Scripting", "COMMANDIL_FILE_KEY_NAME: ",
                                              "CommandInsertList", "szCommandInsertListFile: "};
inline constexpr IniKey kScreenKey{"SCRIPTING_APP_NAME: ", "Scripting", "SCREEN_FILE_KEY_NAME: ", "Screen",
                                   "szScreenFile: "};
inline constexpr IniKey kScreenInsertListKey{"SCRIPTING_APP_NAME: ", "Scripting", "SCREENIL_FILE_KEY_NAME: ",
                                             "ScreenInsertList", "szScreenInsertListFile: "};
inline constexpr IniKey kSkeletonKey{"SCRIPTING_APP_NAME: ", "Scripting", "SKELETON_FILE_KEY_NAME: ", "Skeleton",
                                     "szSkeletonFile: "};
inline constexpr IniKey kEnabledKey{"SCRIPTING_APP_NAME: ", "Scripting", "ENABLED_KEY_NAME: ", "Enabled",
                                    "szEnabled: "};
inline constexpr IniKey kHelpPathKey{"HELP_APP_NAME: ", "Help", "HELP_PATH_KEY_NAME: ", "HelpPath", "szHelpPath: "};
inline constexpr IniKey kScriptEditorKey{"HELP_APP_NAME: ", "Help", "SCRIPTEDIT_PATH_KEY_NAME: ", "ScriptEditor",
                                         "szScriptEditHelpFile: "};
inline constexpr IniKey kDialogEditorKey{"HELP_APP_NAME: ", "Help", "DIALOGEDIT_PATH_KEY_NAME: ", "DialogEditor",
                                         "szDialogEditHelpFile: "};
// The installed versions: read by Init (never reported), written by the package installs.
inline constexpr IniKey kMLVerKey{"SCRIPTING_APP_NAME: ", "Scripting", "ORVAN_MLVER_KEY_NAME: ", "MLVer",
                                  "szCachedMLVersion: "};
inline constexpr IniKey kMLDVerKey{"SCRIPTING_APP_NAME: ", "Scripting", "ORVAN_MLDVER_KEY_NAME: ", "MLDVer",
                                   "szCachedDevVersion: "};
// Empxxx.ini: failures name the section, the key and the file, not the value.
inline constexpr IniKey kAutoBackupKey{"SCRIPTING_APP_NAME: ", "Scripting", "AUTO_BACKUP_KEY_NAME: ",
                                       "AutomaticBackupEnabled", nullptr};
inline constexpr IniKey kWarningsKey{"SCRIPTING_APP_NAME: ", "Scripting", "WARNINGS_ENABLED_KEY_NAME: ",
                                     "WarningsEnabled", nullptr};
// The package lists, section "ORVAN": the package file names, and the editor's install record.
inline constexpr IniKey kSeeKey{"ORVAN_APP_NAME: ", "ORVAN", "SEE_KEY_NAME: ", "SEE", "szSEEFileName: "};
inline constexpr IniKey kSee1Key{"ORVAN_APP_NAME: ", "ORVAN", "SEE1_KEY_NAME: ", "SEE1", "szSEE1FileName: "};
inline constexpr IniKey kSee2Key{"ORVAN_APP_NAME: ", "ORVAN", "SEE2_KEY_NAME: ", "SEE2", "szSEE2FileName: "};
inline constexpr IniKey kEditorInstalledKey{"ORVAN_APP_NAME: ", "ORVAN", "INSTALLED_KEY_NAME: ",
                                            "UpdatedFromThisWorkstation", "szInstalled: "};
inline constexpr IniKey kEditorInstalledRecord{"ORVAN_APP_NAME: ", "ORVAN", "INSTALLED_KEY_NAME: ",
                                               "UpdatedFromThisWorkstation", nullptr};

}  // namespace ov
