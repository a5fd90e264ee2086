// The number-format kinds: the codes the style registry stores on a number-format entry and
// that the FORMAT names, the renderers and the code classification agree on.
#pragma once

namespace tabsmith::format_kind {

// Kind 0 stands for "none" (a cell shown through its value kind's default). The hundreds are
// families: 1xx numbers, 2xx yen, 3xx dates, 4xx times, 5xx percentages and special digits.
// The comments give a number kind's format code (N: the number text such as "0" or "0.00";
// ¥: the yen sign) and a date or time kind's rendering of 2024-05-07 09:05:06.

// Numbers.
constexpr int kGeneral = 100;                // General; no element of its own when saved
constexpr int kParenNegative = 101;          // N_);(N)
constexpr int kRedParenNegative = 102;       // N_);[Red](N)
constexpr int kRedNegative = 103;            // N;[Red]N
constexpr int kRedMinus = 104;               // N_ ;[Red]-N
constexpr int kTriangleNegative = 105;       // N;"△ "N
constexpr int kBlackTriangleNegative = 106;  // N;"▲ "N
constexpr int kGrouped = 107;                // #,##N_
constexpr int kGroupedRed = 108;             // #,##N_);[Red](#,##N)
constexpr int kDecimals = 109;               // N

// Yen.
constexpr int kYenGeneral = 200;        // no element of its own when saved
constexpr int kYen = 201;               // ¥#,##N;¥-#,##N
constexpr int kYenRedMinus = 202;       // ¥#,##N;[Red]¥-#,##N
constexpr int kYenRedNegative = 203;    // ¥#,##N;[Red]¥#,##N
constexpr int kYenParenNegative = 204;  // ¥#,##N_);(¥#,##N)
constexpr int kYenRedSection = 205;     // ¥#,##N;[Red]¥;#,##N
constexpr int kFirstYen = kYenGeneral, kLastYen = kYenRedSection;

// Dates.
constexpr int kDateGeneral = 300;                // no element of its own when saved
constexpr int kYearMonth = 301;                  // 2024/5
constexpr int kDate = 302;                       // 2024/5/7
constexpr int kDateTime = 303;                   // 2024/5/7 09:05
constexpr int kDateTimeAmPm = 304;               // 2024/5/7 09:05 AM
constexpr int kMonth = 305;                      // 5
constexpr int kMonthDay = 306;                   // 5/7
constexpr int kMonthDayYear = 307;               // 5/7/24
constexpr int kMonthDayYearPadded = 308;         // 05/07/24
constexpr int kDayMonthAbbr = 309;               // 7-May
constexpr int kDayMonthAbbrYear = 310;           // 7-May-24
constexpr int kDayMonthAbbrYearPadded = 311;     // 07-May-24
constexpr int kMonthAbbrYear = 312;              // May-24
constexpr int kMonthNameYear = 313;              // May-24, the month name in full
constexpr int kMonthInitial = 314;               // M
constexpr int kMonthInitialYear = 315;           // M-24
constexpr int kDateDigits = 316;                 // 20240507
constexpr int kDateTimeDigits = 317;             // 20240507090506
constexpr int kDateTimeSeconds = 318;            // 2024/5/7 09:05:06
constexpr int kDay = 319;                        // 7
constexpr int kMonthJa = 330;                    // 5月
constexpr int kMonthDayJa = 331;                 // 5月7日
constexpr int kYearMonthJa = 332;                // 2024年5月
constexpr int kYearMonthDayJa = 333;             // 2024年5月7日
constexpr int kEraShort = 334;                   // R6.5.7
constexpr int kEraLong = 335;                    // 令和6
constexpr int kWeekdayAbbr = 340;                // Tue
constexpr int kWeekdayName = 341;                // Tuesday
constexpr int kWeekdayJa = 342;                  // 火
constexpr int kWeekdayJaLong = 343;              // 火曜日
constexpr int kFirstDate = kYearMonth, kLastDate = kWeekdayJaLong;

// Times.
constexpr int kHourMinuteJaPadded = 400;   // h時mm分 when saved; not rendered here
constexpr int kHourMinute = 401;           // 09:05
constexpr int kHourMinuteJa = 402;         // 9時5分
constexpr int kHourMinuteAmPm = 403;       // 09:05 AM
constexpr int kTimeSeconds = 404;          // 9:05:06; saved through the built-in [h]:mm:ss
constexpr int kTimeSecondsJa = 405;        // 9時05分06秒
constexpr int kTimeSecondsAmPm = 406;      // 9:05:06 AM
constexpr int kMinuteSecond = 407;         // 05:06
constexpr int kFirstTime = kHourMinute, kLastTime = kMinuteSecond;

// Percentages and special digits.
constexpr int kPercentGeneral = 500;   // N%, the family's base kind
constexpr int kPercent = 501;          // N%
constexpr int kPostalCode = 510;       // 123-4567
constexpr int kSignMarks = 511;        // "△" #,##0;"▲" #,##0
constexpr int kKanjiDigits = 512;      // 漢数字
constexpr int kKanjiFormal = 513;      // 大字
constexpr int kFullWidth = 514;        // 全角
constexpr int kFullWidthGrouped = 515; // 全角, thousands separated

// Shows nothing (the code "").
constexpr int kHidden = 900;

}  // namespace tabsmith::format_kind
