// The string table: every text a user sees, addressed by its number, in
// Japanese and in English. Shared by the core and both front ends.
#pragma once

#include <string>
#include <vector>

namespace pm {

// The numbers of the texts the code names; the table in Strings.cpp holds
// every text, these included.
enum TextId : int {
    kTextImageFileFilter = 10033,
    kTextSaveDialogTitle = 10036,
    kTextFolderDialogTitle = 10037,
    kTextExceptFileName = 10038,
    kMsgFolderNotFound = 10039,
    kMsgImageFinished = 10041,
    kMsgStopping = 10042,
    kTextStopButton = 10043,
    kTextExitButton = 10044,
    kStatusPreparing = 10046,
    kStatusWriting = 10047,
    kMsgImageFailed = 10048,
    kStatusMeasuring = 10051,
    kStatusSizeFailed = 10052,
    kStatusImageSize = 10053,
    kMsgCannotOpenFile = 10054,
    kMsgCannotOpenImage = 10055,
    kCauseTextUnknown = 10056,
    kCauseTextFileNotFound = 10057,
    kCauseTextAccessDenied = 10060,
    kCauseTextSharingViolation = 10066,
    kCauseTextDiskFull = 10068,
    kMsgJolietNamesTooLong = 10070,
    kMsgUdfNamesTooLong = 10072,
    kMsgCannotCloseImage = 10073,
    kMsgImageWriteFailed = 10074,
    kMsgCannotReadFile = 10075,
    kMsgNo83Names = 10076,
    kMsgNoImageName = 10077,
    kMsgTooLargeForUdf = 10079,
    kMsgPlanBroken = 10080,
    kMsgTooManyFolders = 10081,
    kMsgUndecodableNames = 10082,
    kMsgSameNames = 10083,
    kMsgJolietForbiddenCharacters = 10084,
    kMsgFileChanged = 10085,
    kMsgTooManySubfolders = 10086,
    kMsgImageTooLarge = 10087,
    kMsgImageIsFolder = 10088,
    kMsgCannotReadSettings = 10089,
    kCauseTextNotRegular = 10090,
    kCauseTextTooLarge = 10091,
    kMsgSkippedCount = 10092,
    kMsgSkippedListed = 10093,
    kTextDanglingLink = 10094,
    kTextSpecialFile = 10095,
    kTextLinkToAncestor = 10096,
    kTextCliOptions = 10100,
    kMsgUnknownOption = 10101,
    kMsgOptionNeedsValue = 10102,
    kMsgUnknownKind = 10103,
    kMsgSizeTakesOneSource = 10104,
    kMsgSourceAndImageNeeded = 10105,
    kMsgCheckNeedsSize = 10106,
    kMsgSeeHelp = 10107,
    kMsgDateForm = 10108,
    kMsgStdoutIsTerminal = 10109,
    kMsgStdoutWriteFailed = 10110,
    kMsgFitsOn = 10111,
    kMsgFitsNoMedium = 10112,
    kTextSecondsLeft = 10113,
    kMsgOptionTakesNoValue = 10114,
    kTextCliUsage = 10115,
    kTextStandardOutput = 10116,
    kMsgOneModeAtATime = 10117,
    kMsgNamesTakesOneSource = 10118,
    kTextProgramName = 10140,
    kTextFolderLabel = 10141,
    kTextImageLabel = 10142,
    kTextVolumeLabelLabel = 10143,
    kTextDateLabel = 10144,
    kTextKindLabel = 10145,
    kStatusReady = 10146,
    kTextStartButton = 10147,
    kTextExitCaption = 10148,
    kTextSystemMenu = 10149,
    kTextExtraMenu = 10150,
    kTextVolumeInfoItem = 10151,
    kTextHelpMenu = 10152,
    kTextAboutItem = 10153,
    kTextVerifyItem = 10154,
    kTextAboutTitle = 10155,
    kTextVersion = 10156,
    kTextOk = 10157,
    kTextVolumeInfoTitle = 10158,
    kTextOsLabel = 10159,
    kTextVolumeSetLabel = 10160,
    kTextVolumeSetSizeLabel = 10161,
    kTextVolumeNumberLabel = 10162,
    kTextPublisherLabel = 10163,
    kTextPreparerLabel = 10164,
    kTextApplicationLabel = 10165,
    kTextCopyrightLabel = 10166,
    kTextAbstractLabel = 10167,
    kTextBibliographicLabel = 10168,
    kTextCreatedLabel = 10169,
    kTextModifiedLabel = 10170,
    kTextExpiresLabel = 10171,
    kTextEffectiveLabel = 10172,
    kTextYearUnit = 10173,
    kTextMonthUnit = 10174,
    kTextDayUnit = 10175,
    kTextHourUnit = 10176,
    kTextMinuteUnit = 10177,
    kTextSecondUnit = 10178,
    kTextImplementationLabel = 10179,
    kTextDefaultsButton = 10180,
    kTextCancel = 10181,
    kTextKindJoliet = 10182,
    kTextKindBridge = 10183,
    kTextKindUdf = 10184,
    kTextSaverReason = 10185,
    kTextVerifyDialogTitle = 10186,
    kStatusVerifying = 10187,
    kMsgImageMatches = 10188,
    kMsgImageDiffers = 10189,
    kMsgMoreDifferences = 10190,
    kMsgCannotReadImage = 10191,
    kMsgBootImageMissing = 10192,
    kMsgBootImageEmpty = 10193,
    kMsgBootImageNotFat = 10194,
    kMsgBootImageIsPe = 10195,
    kMsgBootInfoTableTooShort = 10196,
    kMsgBootLoadBeyondImage = 10197,
    kMsgBootImageTooLarge = 10198,
    kMsgBootTooManyEntries = 10199,
    kMsgBootOptionNeedsEntry = 10200,
    kMsgBootLoadSizeForm = 10201,
    kMsgBootCatalogNoFolder = 10202,
    kMsgBootCatalogExists = 10203,
    kMsgNotAnInteger = 61712,
    kMsgIntegerRange = 61714,
    kMsgTooManyCharacters = 61716,
};

enum class Language { Japanese, English };

// The language a locale asks for, read as gettext does: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty names the locale; "ja",
// "ja_JP.UTF-8", "ja_JP.eucJP" and the like are Japanese, anything else
// (including "C" and no locale at all) English. Null means unset.
Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);
// The same from this process's environment.
Language LanguageFromEnvironment();

// The language of every text from now on. The front ends decide once at
// start-up, before any thread starts; until then the texts are Japanese.
void SetLanguage(Language language);
Language CurrentLanguage();

// UTF-8 text of string `id` in the current language; empty for an unknown number.
const std::string& LoadString(int id);
// printf-style "%s" substitution, in order.
std::string FormatString(int id, const std::string& a);
std::string FormatString(int id, const std::string& a, const std::string& b);
// "%1" / "%2" substitution (the dialog validation texts).
std::string FormatNumbered(int id, const std::string& p1, const std::string& p2 = std::string());

// Numbers whose English text is still missing; those show the Japanese text.
std::vector<int> UntranslatedTexts();

}  // namespace pm
