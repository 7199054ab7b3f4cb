// The named accessors of the settings interfaces, as lists of
// (accessor stem, property name[, enumeration type]). Included by
// Settings.h only; each list is expanded with the macros defined there.

// IRESettings, in interface order.
#define RE_SETTINGS_GROUP_AUTO(B, I, S, A, E)                                   \
  B(AutoSave, "AutoSave") B(AutoSaveIfNotSent, "AutoSaveIfNotSent")             \
  B(AutoSend, "AutoSend") B(AutoSendPrgrBox, "AutoSendBox")                     \
  B(AutoClipboard, "AutoClip") B(SuspendThreads, "PauseThreads")                \
  B(ShowPleaseWaitBox, "PlWaitBox") B(AutoContinue, "AutoContinue")             \
  I(AutoRestart, "AutoRestart") I(AutoClose, "AutoClose") I(AutoDelay, "AutoDelay")

#define RE_SETTINGS_GROUP_BUTTONS(B, I, S, A, E)                                \
  B(SendBtnVisible, "SendBtnVis") B(SaveBtnVisible, "SaveBtnVis")               \
  B(PrintBtnVisible, "PrintBtnVis") B(ShowBtnVisible, "ShowBtnVis")             \
  B(ContinueBtnVisible, "ContinueBtnVis") B(RestartBtnVisible, "RestartBtnVis") \
  B(CloseBtnVisible, "CloseBtnVis")

#define RE_SETTINGS_GROUP_DELIVERY(B, I, S, A, E)                               \
  E(FocusedButton, "FocusedBtn", TREButton) S(SendAssistant, "SendAssis")       \
  S(SaveAssistant, "SaveAssis") S(PrintAssistant, "PrintAssis")                 \
  B(AutoShowBugReport, "AutoShowBugRep") B(NoOwnerDrawButtons, "UglyBtns")      \
  B(SendInBackground, "SendInBackgr") S(MailAddr, "MailAddr")                   \
  B(UploadToFogBugz, "FogBugz") B(UploadToBugZilla, "BugZilla")                 \
  B(UploadToMantis, "Mantis") B(UploadToCustomScript, "UploadViaHttp")          \
  A(HttpServer, "HttpServer") B(HttpSsl, "HttpSsl") I(HttpPort, "HttpPort")     \
  S(HttpAccount, "HttpAccount") S(HttpPassword, "HttpPassword")                 \
  S(BugTrackerAccount, "BugTrAccount") S(BugTrackerPassword, "BugTrPassword")   \
  S(BugTrackerProject, "BugTrProject") S(BugTrackerArea, "BugTrArea")           \
  S(BugTrackerAssignTo, "BugTrAssignTo") B(MailAsSmtpServer, "MailAsSmtpServer") \
  B(MailAsSmtpClient, "MailAsSmtpClient") A(SmtpServer, "SmtpServer")           \
  B(SmtpSsl, "SmtpSsl") B(SmtpTls, "SmtpTls") I(SmtpPort, "SmtpPort")           \
  S(SmtpAccount, "SmtpAccount") S(SmtpPassword, "SmtpPassword")                 \
  B(MailViaMapi, "MailViaMapi") B(MailViaMailto, "MailViaMailto") S(MailFrom, "MailFrom")

#define RE_SETTINGS_GROUP_ATTACH(B, I, S, A, E)                                 \
  B(AttachBugReport, "AttachBugRep") B(AttachBugReportFile, "AttachBugRepFile") \
  B(DeleteBugReportFile, "DelBugRepFile") S(BugReportSendAs, "BugRepSendAs")    \
  S(BugReportZip, "BugRepZip") I(ScreenShotDepth, "ScrShotDepth")               \
  B(ScreenShotAppOnly, "ScrShotAppOnly") S(ScreenShotSendAs, "ScrShotSendAs")   \
  S(ScreenShotZip, "ScrShotZip")

#define RE_SETTINGS_GROUP_REPORT(B, I, S, A, E)                                 \
  S(BugReportFile, "BugRepFile") B(AppendBugReports, "AppendBugReps")           \
  I(BugReportFileSize, "BugRepFileSize") B(NoDupExcepts, "NoDupExcepts")        \
  B(NoDupFreezes, "NoDupFreezes") E(DupExceptDef, "DupExceptDef", TREDupDef)    \
  E(DupFreezeDef, "DupFreezeDef", TREDupDef) B(ListThreads, "ListThreads")      \
  B(ShowCpuRegisters, "CpuRegs") B(ShowStackDump, "StackDump")                  \
  B(ShowDisAsm, "ShowDisAsm") B(HideUglyItems, "HideUglyItems")                 \
  B(ShowRelativeAddrs, "ShowRelAddrs") B(ShowRelativeLines, "ShowRelLines")     \
  B(FormatDisassembly, "FormatDisAsm") I(LimitDisassembly, "LimitDisAsm")

#define RE_SETTINGS_GROUP_TEXTS(B, I, S, A, E)                                  \
  S(TitleBar, "TitleBar") S(ExceptMsg, "ExceptMsg") S(FrozenMsg, "FrozenMsg")   \
  S(BitFaultMsg, "BitFaultMsg")                                                 \
  S(SendBtnCaption, "SendBtnTxt") S(SaveBtnCaption, "SaveBtnTxt")               \
  S(PrintBtnCaption, "PrintBtnTxt") S(ShowBtnCaption, "ShowBtnTxt")             \
  S(ContinueBtnCaption, "ContinueBtnTxt") S(RestartBtnCaption, "RestartBtnTxt") \
  S(CloseBtnCaption, "CloseBtnTxt") S(OkBtnCaption, "OkBtnTxt")                 \
  S(DetailsBtnCaption, "DetailsBtnTxt") S(PleaseWaitTitle, "PlWaitTitle")       \
  S(PleaseWaitText, "PlWaitText")                                               \
  S(BugTrackerTitle, "BugTrTitle") S(BugTrackerDescription, "BugTrDescr")       \
  S(MailSubject, "MailSubj") S(MailBody, "MailBody") S(SendBoxTitle, "SendBoxTitle") \
  S(PrepareAttachMsg, "PrepAttMsg") S(MxLookupMsg, "MxLookMsg")                 \
  S(ConnectMsg, "ConnMsg") S(SendMailMsg, "SendMailMsg") S(FieldsMsg, "FieldMsg") \
  S(SendAttachMsg, "SendAttMsg") S(SendFinalizeMsg, "SendFinalMsg")             \
  S(SendFailureMsg, "SendFailMsg")

// IREModuleSettings: the filter switches, as Filter1/Filter2/General pairs.
#define RE_MODULE_SETTINGS_FILTERS(B, I, S, A, E)                               \
  S(Filter1Classes, "F1Classes") S(Filter2Classes, "F2Classes")                 \
  B(Filter1NoBugReport, "F1NoBugRep") B(Filter2NoBugReport, "F2NoBugRep")       \
  B(GeneralNoBugReport, "GnNoBugRep")                                           \
  B(Filter1NoScreenShot, "F1NoScrShot") B(Filter2NoScreenShot, "F2NoScrShot")   \
  B(GeneralNoScreenShot, "GnNoScrShot")                                         \
  B(Filter1NoSuspend, "F1NoSuspend") B(Filter2NoSuspend, "F2NoSuspend")         \
  B(GeneralNoSuspend, "GnNoSuspend")                                            \
  B(Filter1NoHandlers, "F1NoHandlers") B(Filter2NoHandlers, "F2NoHandlers")     \
  B(GeneralNoHandlers, "GnNoHandlers")                                          \
  E(Filter1ShowSetting, "F1ShowCfg", TREShowSetting)                            \
  E(Filter2ShowSetting, "F2ShowCfg", TREShowSetting)                            \
  E(GeneralShowSetting, "GnShowCfg", TREShowSetting)                            \
  S(Filter1Assistant, "F1Assis") S(Filter2Assistant, "F2Assis")                \
  S(GeneralAssistant, "GnAssis") B(WindowsLogo, "WindowsLogo")
