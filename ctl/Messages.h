// Every text tavrolinctl writes to standard error, in English and Korean.
// The dialogs' own messages keep the dialogs' wording.
#pragma once

#include <initializer_list>
#include <string>

enum class Language
{
    English,
    Korean
};

enum class Msg
{
    TryHelp,
    UnknownCommand,
    UnknownOption,
    OptionNeedsValue,
    UnknownLanguage,
    MissingArguments,
    TooManyArguments,
    NeedsModel,
    UnknownModel,
    SetNeedsPairs,
    BadSlot,
    SlotTwice,
    BadKeyName,
    BadKeyNameNoGuess,
    // The receiver.
    NoLibrary,
    NotConnected,
    NoPermission,
    NoTable,
    EmptyTable,
    OddTable,
    WrongModelSize,
    WrongModelFamily,
    FileForOtherFamily,
    AmbiguousFamily,
    // Writing.
    Completed,
    WriteFailed,
    NotKept,
    NotVerified,
    ReadBackSize,
    NothingWritten,
    ResetQuestion,
    ResetDeclined,
    Exported,
    // Table files.
    FileUnreadable,
    FileNotWritten,
    FileSyntax,
    FileUnknownField,
    FileFieldTwice,
    FileFormatMissing,
    FileFormatUnknown,
    FileModelMissing,
    FileModelUnknown,
    FileSlotBeforeModel,
    FileSlotsMissing,
    FileTooLong,
    FileNotText,
    // watch, and the options only some commands take.
    BadNumber,
    NotForCommand,
    NoKeyboardInput,
    WatchWithoutTable,
    Watching,
    ReceiverRemoved,
    // Outcomes and refusals of the file commands.
    NoAnswerInTime,
    EmptyFileName,
    NotRegularFile,
    OutputFailed,
};

// The text with {1}, {2}, ... replaced by the arguments.
std::string Text(Language language, Msg message, std::initializer_list<std::string> args = {});
