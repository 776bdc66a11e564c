// The launcher's state, its check steps and its end: failure report and launch.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/win32/ComObj.h"

namespace launcher {

// Launcher globals, alive for the whole run.
extern std::string StepDescription;
extern bool ChecksPassed;
extern fw::TComPtr<IDispatch> SettingsObject;

// ---- the check steps; each raises on failure ----
void CheckBasePath();                        // A1
void CheckSystemCfg();                       // A2
void CheckLibrary(const std::string& path);  // B1
void CheckMsDosSys();                        // C1
void CheckPackage(const std::string& path);  // D1..D5
void CheckScriptControl();                   // E1
void CheckVBScript();                        // E2
void CheckSettingsObject();                  // F1
void CheckEngineObject();                    // F2
void PrepareTempLangFolder(bool strict);     // G1 (strict) and the quiet start-up call

// The MSDOS.SYS repair of C1 on a 9x system, on the given files (the step uses the C: ones).
// Returns true when the file was rewritten.
bool RepairMsDosSys(const std::string& fileName, const std::string& backupName);
bool ForceDirectories(const std::string& folder);

// The whole chain A1..G1, building StepDescription before each test.
void RunCheckChain();

// ---- failure report and launch ----
std::string BuildReportText(const std::string& stepDescription, const std::string& exceptionMessage);
// The fixed four-language text (Windows-1252) shown when no failure file exists.
std::string FallbackText();
void ReportCheckFailure(const std::string& exceptionMessage);
// Arguments 1..n, each followed by a blank, trimmed; no quotes are added.
std::string JoinArguments(const std::vector<std::string>& args);
std::vector<std::string> CommandLineArguments();
void LaunchMainProgram();

}  // namespace launcher
