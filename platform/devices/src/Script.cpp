// Scripted camcorders: a timed list of bus commands, checked whole, then run step by step.
#include "devices/BusControl.h"

#include <sstream>

namespace devices {
namespace {

// The longest pause one step may ask for.
constexpr DWORD MaxWaitMs = 10 * 60 * 1000;

std::string Trim(const std::string& str) {
    const size_t nFirst = str.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos) return "";
    return str.substr(nFirst, str.find_last_not_of(" \t\r") - nFirst + 1);
}

// "N" milliseconds or "Ns" seconds.
bool ParseWait(const std::string& strWord, DWORD& dwMs) {
    const bool bSeconds = !strWord.empty() && strWord.back() == 's';
    const std::string strDigits = bSeconds ? strWord.substr(0, strWord.size() - 1) : strWord;
    if (strDigits.empty() || strDigits.size() > 6 || strDigits.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long n = std::stoul(strDigits) * (bSeconds ? 1000ul : 1ul);
    if (n > MaxWaitMs) return false;
    dwMs = static_cast<DWORD>(n);
    return true;
}

} // namespace

bool ParseBusScript(const std::string& strText, std::vector<ScriptStep>& vecSteps, std::string& strError) {
    vecSteps.clear();
    std::istringstream in(strText);
    int nLine = 0;
    for (std::string strRaw; std::getline(in, strRaw);) {
        ++nLine;
        if (nLine == 1 && strRaw.compare(0, 3, "\xEF\xBB\xBF") == 0) strRaw.erase(0, 3);  // a UTF-8 byte-order mark
        const std::string strLine = Trim(strRaw);
        if (strLine.empty() || strLine[0] == '#') continue;
        const std::string strWhere = "line " + std::to_string(nLine) + ": ";
        for (const unsigned char ch : strLine) {
            if (ch != '\t' && (ch < 0x20 || ch > 0x7E)) {
                strError = strWhere + "printable text expected";
                return false;
            }
        }
        if (strLine.size() > ControlPipe::MaxRequestBytes) {
            strError = strWhere + "too long";
            return false;
        }
        std::istringstream words(strLine);
        std::string strVerb, strValue, strMore;
        words >> strVerb >> strValue >> strMore;
        ScriptStep step{nLine, strLine, 0, false};
        if (strVerb == "wait") {
            if (!strMore.empty() || !ParseWait(strValue, step.dwWaitMs)) {
                strError = strWhere + "wait N (milliseconds) or wait Ns (seconds) expected";
                return false;
            }
            step.bWait = true;
        } else if (!IsBusCommand(strVerb)) {
            strError = strWhere + "unknown command: " + strVerb;
            return false;
        }
        vecSteps.push_back(step);
    }
    if (vecSteps.empty()) {
        strError = "the script holds no step";
        return false;
    }
    return true;
}

bool RunBusScript(const std::vector<ScriptStep>& vecSteps, const std::function<bool(const std::string&, std::string&)>& fnSend,
                  const std::function<void(DWORD)>& fnWait, const std::function<void(const ScriptStep&, const std::string&)>& fnReport) {
    for (const ScriptStep& step : vecSteps) {
        std::string strAnswer = "OK";
        if (step.bWait) {
            fnWait(step.dwWaitMs);
        } else if (!fnSend(step.strCommand, strAnswer)) {
            fnReport(step, "ERROR no simulated bus answers");
            return false;
        }
        while (!strAnswer.empty() && (strAnswer.back() == '\n' || strAnswer.back() == '\r')) strAnswer.pop_back();
        fnReport(step, strAnswer);
        if (strAnswer.compare(0, 2, "OK") != 0) return false;
    }
    return true;
}

} // namespace devices
