// String-table ids of the launcher; the language files name them.
#pragma once

#define s_Check_FileAvail 65200
#define s_Check_PathCorrect 65201
#define s_Check_SystemCfg 65202
#define s_Check_MSDOSSYS 65203
#define s_Check_HTMLHelp 65204
#define s_Check_MSScriptControl 65205
#define s_Check_VBScript 65206
#define s_Check_VTPSettingsObject 65207
#define s_Check_VTPEngineObject 65208
#define s_Check_TempLangFolder 65209
#define S_FailMessage_1 65210
#define S_FailMessage_2a 65211
#define S_FailMessage_2b 65212
#define S_FailMessage_2c 65213
#define S_AppTitle 65230
#define s_Check_Check 65231
