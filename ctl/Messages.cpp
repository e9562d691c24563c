#include "Messages.h"

#include <vector>

namespace {

struct Texts
{
    Msg id;
    const char* english;
    const char* korean;
};

const Texts kTexts[] = {
    {Msg::TryHelp, "Try 'tavrolinctl --help'.", "'tavrolinctl --help'를 참고하십시오."},
    {Msg::UnknownCommand, "unknown command '{1}'", "알 수 없는 명령입니다: '{1}'"},
    {Msg::UnknownOption, "unknown option '{1}'", "알 수 없는 옵션입니다: '{1}'"},
    {Msg::OptionNeedsValue, "option '{1}' needs a value", "'{1}' 옵션에는 값이 필요합니다"},
    {Msg::UnknownLanguage, "unknown language '{1}' (en or ko)",
     "알 수 없는 언어입니다: '{1}' (en 또는 ko)"},
    {Msg::MissingArguments, "'{1}' needs {2}", "'{1}' 명령에는 {2}이(가) 필요합니다"},
    {Msg::TooManyArguments, "'{1}' takes no argument '{2}'",
     "'{1}' 명령은 '{2}' 인수를 받지 않습니다"},
    {Msg::NeedsModel, "'{1}' needs --model MODEL (see 'tavrolinctl models')",
     "'{1}' 명령에는 --model MODEL이 필요합니다('tavrolinctl models' 참고)"},
    {Msg::UnknownModel, "unknown model '{1}'; the models are: {2}",
     "알 수 없는 모델입니다: '{1}'. 모델: {2}"},
    {Msg::SetNeedsPairs, "'set' takes pairs of SLOT KEY; '{1}' has no key",
     "'set' 명령은 SLOT KEY 쌍을 받습니다. '{1}'에 키가 없습니다"},
    {Msg::BadSlot, "'{1}' is no slot: {2} has slots 1 to {3}",
     "'{1}'은(는) 슬롯이 아닙니다. {2}의 슬롯은 1부터 {3}까지입니다"},
    {Msg::SlotTwice, "slot {1} is given twice", "슬롯 {1}이(가) 두 번 지정되었습니다"},
    {Msg::BadKeyName, "'{1}' is no key name; nearest: {2}",
     "'{1}'은(는) 키 이름이 아닙니다. 가까운 이름: {2}"},
    {Msg::BadKeyNameNoGuess, "'{1}' is no key name", "'{1}'은(는) 키 이름이 아닙니다"},
    {Msg::NoLibrary, "The receiver library libAtUsbHid.so could not be loaded.",
     "수신기 라이브러리 libAtUsbHid.so를 불러올 수 없습니다."},
    {Msg::NotConnected, "The receiver is not connected.", "수신기가 연결되지 않았습니다."},
    {Msg::NoPermission,
     "The receiver is there, but this user may not open it; 'tavrolinctl diagnose' tells why.",
     "수신기는 있지만 이 사용자는 열 수 없습니다. 'tavrolinctl diagnose'로 이유를 확인하십시오."},
    {Msg::NoTable, "The receiver did not send its key table.",
     "수신기가 키 테이블을 보내지 않았습니다."},
    {Msg::EmptyTable, "The receiver holds no key table (it answered with size 0).",
     "수신기에 키 테이블이 없습니다(크기 0으로 응답했습니다)."},
    {Msg::OddTable, "The receiver sent a table of {1} entries, which no presenter has.",
     "수신기가 보낸 키 테이블은 {1}개 항목으로, 이런 프레젠터는 없습니다."},
    {Msg::WrongModelSize,
     "{1} has {2} buttons, but the receiver holds a table of {3} entries: it is no {1} receiver.",
     "{1}은(는) 버튼이 {2}개이지만 수신기의 키 테이블은 {3}개 항목입니다. {1} 수신기가 아닙니다."},
    {Msg::WrongModelFamily,
     "{1} belongs to the {2} family, but the receiver holds a {3} family table.",
     "{1}은(는) {2} 계열이지만 수신기에는 {3} 계열의 키 테이블이 있습니다."},
    {Msg::FileForOtherFamily,
     "{1} is for {2} of the {3} family, but the receiver holds a {4} family table.",
     "{1}은(는) {3} 계열의 {2}용이지만 수신기에는 {4} 계열의 키 테이블이 있습니다."},
    {Msg::AmbiguousFamily, "{1} entries: the {2} families have that size; --model tells which.",
     "{1}개 항목: {2} 계열의 크기입니다. --model로 지정하십시오."},
    {Msg::Completed, "Setting has been completed.", "설정이 완료되었습니다."},
    {Msg::WriteFailed, "The settings could not be written to the receiver.",
     "설정을 수신기에 저장하지 못했습니다."},
    // The dialogs' text, then what differs.
    {Msg::NotKept,
     "The receiver did not keep the new settings. Check that the chosen model matches your "
     "presenter, then try again.",
     "수신기에 새 설정이 저장되지 않았습니다. 선택한 모델이 프레젠터와 맞는지 확인한 뒤 다시 "
     "시도해 주십시오."},
    {Msg::NotVerified, "Slot {1} reads {2}, not {3}.",
     "슬롯 {1}은(는) {3}이(가) 아니라 {2}입니다."},
    {Msg::ReadBackSize, "It now answers with a table of {1} entries.",
     "수신기는 이제 {1}개 항목의 키 테이블로 응답합니다."},
    {Msg::NothingWritten, "Nothing was written.", "아무것도 쓰지 않았습니다."},
    {Msg::ResetQuestion, "Key values will be reset, Continue?",
     "제품의 키가 원래상태로 초기화됩니다. 진행하시겠습까?"},
    {Msg::ResetDeclined, "Nothing was reset.", "초기화하지 않았습니다."},
    {Msg::Exported, "The key table is in {1}.", "키 테이블을 {1}에 저장했습니다."},
    {Msg::FileUnreadable, "{1}: cannot be read: {2}", "{1}: 읽을 수 없습니다: {2}"},
    {Msg::FileNotWritten, "{1}: cannot be written: {2}", "{1}: 쓸 수 없습니다: {2}"},
    {Msg::FileSyntax, "expected 'NAME = VALUE' or a comment",
     "'이름 = 값' 형식이나 주석이어야 합니다"},
    {Msg::FileUnknownField, "unknown name '{1}' (format, model or a slot number)",
     "알 수 없는 이름입니다: '{1}' (format, model 또는 슬롯 번호)"},
    {Msg::FileFieldTwice, "'{1}' was already given on line {2}",
     "'{1}'은(는) 이미 {2}번째 줄에 있습니다"},
    {Msg::FileFormatMissing, "the first setting must be 'format = 1'",
     "첫 번째 설정은 'format = 1'이어야 합니다"},
    {Msg::FileFormatUnknown, "format '{1}' is not known; this version reads format 1",
     "알 수 없는 형식입니다: '{1}'. 이 버전은 형식 1을 읽습니다"},
    {Msg::FileModelMissing, "no 'model = ...' line", "'model = ...' 줄이 없습니다"},
    {Msg::FileModelUnknown, "unknown model '{1}'; the models are: {2}",
     "알 수 없는 모델입니다: '{1}'. 모델: {2}"},
    {Msg::FileSlotBeforeModel, "slot lines come after the 'model' line",
     "슬롯 줄은 'model' 줄 다음에 와야 합니다"},
    {Msg::FileSlotsMissing, "no line for slot {1} ({2} has {3} buttons)",
     "슬롯 {1}의 줄이 없습니다({2}의 버튼은 {3}개입니다)"},
    {Msg::FileTooLong, "the file is larger than a key table file can be",
     "키 테이블 파일로 보기에는 파일이 너무 큽니다"},
    {Msg::FileNotText, "the file is not UTF-8 text", "UTF-8 텍스트 파일이 아닙니다"},
    {Msg::BadNumber, "{1} needs a number greater than 0, not '{2}'",
     "{1}에는 0보다 큰 수가 필요합니다: '{2}'"},
    {Msg::NotForCommand, "'{1}' has no option {2}", "'{1}' 명령에는 {2} 옵션이 없습니다"},
    {Msg::NoKeyboardInput,
     "The receiver has no keyboard input to read (no hidraw node with a keyboard collection).",
     "수신기에 읽을 키보드 입력이 없습니다(키보드 컬렉션이 있는 hidraw 노드가 없습니다)."},
    {Msg::WatchWithoutTable,
     "The receiver's key table could not be read; keys are shown without their slots.",
     "수신기의 키 테이블을 읽을 수 없어 키를 슬롯 없이 보여 줍니다."},
    {Msg::Watching, "Watching {1}. Press the presenter's buttons; Ctrl+C ends.",
     "{1}을(를) 지켜봅니다. 프레젠터의 버튼을 누르십시오. Ctrl+C로 끝냅니다."},
    // The dialogs' text.
    {Msg::ReceiverRemoved, "A receiver has been removed. Please insert again.",
     "수신기가 제거되었습니다. 다시 꽂아주십시요."},
    {Msg::NoAnswerInTime,
     "The receiver did not answer in time. It may still have kept the new settings: run "
     "'tavrolinctl show' to see what it holds.",
     "수신기가 제때 응답하지 않았습니다. 새 설정이 저장되었을 수도 있으니 'tavrolinctl show'로 "
     "수신기에 저장된 값을 확인해 주십시오."},
    {Msg::EmptyFileName, "'{1}' needs a file name, not an empty text",
     "'{1}' 명령에는 빈 문자열이 아닌 파일 이름이 필요합니다"},
    {Msg::NotRegularFile, "not a regular file", "일반 파일이 아닙니다"},
    {Msg::OutputFailed, "the output could not be written: {1}", "출력을 쓰지 못했습니다: {1}"},
};

constexpr std::size_t kMaxShown = 80;

std::string Shown(const std::string& value)
{
    std::string out;
    for (char c : value.substr(0, value.size() > kMaxShown ? kMaxShown - 3 : value.size()))
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    if (value.size() > kMaxShown) {
        // Not in the middle of a character.
        while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
            out.pop_back();
        if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0)
            out.pop_back();
        out += "...";
    }
    return out;
}

} // namespace

std::string Text(Language language, Msg message, std::initializer_list<std::string> args)
{
    const char* pattern = "";
    for (const Texts& t : kTexts)
        if (t.id == message)
            pattern = language == Language::Korean ? t.korean : t.english;
    const std::vector<std::string> values(args);
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}') {
            const std::size_t i = static_cast<std::size_t>(p[1] - '1');
            // What a file or an argument said is shown, shortened, and no
            // control character of it reaches the terminal.
            if (i < values.size())
                out += Shown(values[i]);
            p += 2;
            continue;
        }
        out += *p;
    }
    return out;
}
