#include "reporter/core/properties/Properties.h"

#include <cstring>

namespace ruvex {

#define RB(n, v) {n, ptBoolean, v, 0, nullptr}
#define RI(n, v) {n, ptInteger, false, v, nullptr}
#define RS(n, v) {n, ptString, false, 0, v}

const TREDefaultProperty kDefaultProperties[kDefaultPropertyCount] = {
    RB("Enabled", false), RB("NoSettings", true), RB("CheckFileCrc", true),
    // FreezeTimeout counts seconds; the watchdog reads values below 1 as 60.
    RB("CheckFreeze", false), RI("FreezeTimeout", 60), RB("WindowsLogo", false),
    RB("ReportLeaks", false), RB("CrashOnOverrun", false), RB("CrashOnUnderrun", false),
    RB("AutoSave", true), RB("AutoSaveIfNotSent", true), RB("AutoSend", false),
    RB("AutoSendBox", false), RB("AutoClip", true), RB("PauseThreads", false),
    RB("PlWaitBox", true), RB("AutoContinue", false), RI("AutoRestart", 0),
    RI("AutoClose", 0), RI("AutoDelay", 60), RB("SendBtnVis", true),
    RB("SaveBtnVis", false), RB("PrintBtnVis", false), RB("ShowBtnVis", true),
    RB("ContinueBtnVis", true), RB("RestartBtnVis", true), RB("CloseBtnVis", true),
    // Enumeration-valued entries are booleans with integer 0: the first value.
    RB("FocusedBtn", false), RS("SendAssis", ""), RS("SaveAssis", ""),
    RS("PrintAssis", ""), RB("AutoShowBugRep", false), RB("UglyBtns", false),
    RB("SendInBackgr", true), RB("UploadViaHttp", false), RS("HttpServer", ""),
    RB("HttpSsl", false), RI("HttpPort", 0), RS("HttpAccount", ""),
    RS("HttpPassword", ""), RB("FogBugz", false), RB("BugZilla", false),
    RB("Mantis", false), RS("BugTrAccount", ""), RS("BugTrPassword", ""),
    RS("BugTrProject", ""), RS("BugTrArea", ""), RS("BugTrAssignTo", ""),
    RB("MailAsSmtpServer", false), RB("MailAsSmtpClient", false), RS("SmtpServer", ""),
    RB("SmtpSsl", false), RB("SmtpTls", false), RI("SmtpPort", 0),
    RS("SmtpAccount", ""), RS("SmtpPassword", ""), RB("MailViaMapi", true),
    RB("MailViaMailto", true), RS("MailAddr", ""), RB("AttachBugRep", true),
    RB("AttachBugRepFile", true), RB("DelBugRepFile", true), RS("BugRepSendAs", "bugreport.qbr"),
    RS("BugRepZip", ""), RI("ScrShotDepth", 0), RB("ScrShotAppOnly", true),
    RS("ScrShotSendAs", "screenshot.png"), RS("ScrShotZip", ""), RS("AddAttachs", ""),
    RS("MailFrom", ""), RS("AddFields", ""), RS("BugRepFile", "bugreport.qbr"),
    RB("AppendBugReps", true), RI("BugRepFileSize", 100000), RB("NoDupExcepts", true),
    RB("NoDupFreezes", true), RB("DupExceptDef", false), RB("DupFreezeDef", false),
    RB("ListThreads", true), RB("CpuRegs", true), RB("StackDump", true),
    RB("ShowDisAsm", true), RB("HideUglyItems", false), RB("ShowRelAddrs", true),
    RB("ShowRelLines", true), RB("FormatDisAsm", false), RI("LimitDisAsm", 5),
    RS("Plugins", "modules|processes|hardware"), RS("F1Classes", ""), RB("F1NoBugRep", false),
    RB("F1NoScrShot", false), RB("F1NoHandlers", false), RB("F1NoSuspend", false),
    RB("F1ShowCfg", false), RS("F1Assis", ""), RS("F2Classes", ""),
    RB("F2NoBugRep", false), RB("F2NoScrShot", false), RB("F2NoHandlers", false),
    RB("F2NoSuspend", false), RB("F2ShowCfg", false), RS("F2Assis", ""),
    RB("GnNoBugRep", false), RB("GnNoScrShot", false), RB("GnNoHandlers", false),
    RB("GnNoSuspend", false), RB("GnShowCfg", false), RS("GnAssis", ""),
    RS("TitleBar", "%appname%"), RS("ExceptMsg", "An error occurred in the application."),
    RS("FrozenMsg", "The application seems to be frozen."),
    RS("BitFaultMsg", "The file \"%modname%\" seems to be corrupted!"),
    RS("SendBtnTxt", "send bug report"), RS("SaveBtnTxt", "save bug report"),
    RS("PrintBtnTxt", "print bug report"), RS("ShowBtnTxt", "show bug report"),
    RS("ContinueBtnTxt", "continue application"), RS("RestartBtnTxt", "restart application"),
    RS("CloseBtnTxt", "close application"), RS("OkBtnTxt", "&OK"),
    RS("DetailsBtnTxt", "&Details"), RS("PlWaitTitle", "Information"),
    RS("PlWaitText", "Please wait a moment..."), RS("BugTrTitle", "%appname%, %exceptMsg%"),
    RS("BugTrDescr", "error details: \r\n%errorDetails%"), RS("MailSubj", "bug report"),
    RS("MailBody", "please find the bug report attached"), RS("SendBoxTitle", "Sending bug report..."),
    RS("PrepAttMsg", "Prepare attachments..."), RS("MxLookMsg", "Searching for mail server..."),
    RS("ConnMsg", "Connecting to server..."), RS("SendMailMsg", "Sending mail..."),
    RS("FieldMsg", "Setting fields..."), RS("SendAttMsg", "Sending attachments..."),
    RS("SendFinalMsg", "Finalizing..."), RS("SendFailMsg", "Sorry, sending the bug report didn't work."),
    RI("VersionVar", 0),
};

#undef RB
#undef RI
#undef RS

const TREDefaultProperty* FindDefaultProperty(const char* name) {
  for (const auto& entry : kDefaultProperties)
    if (std::strcmp(entry.name, name) == 0) return &entry;
  return nullptr;
}

}  // namespace ruvex
