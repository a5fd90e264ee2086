// The message catalogue: every coded message the engine raises, with its exact text.
// Texts are UTF-8 here; the error state stores them in Shift-JIS. Each message is written in
// Japanese (the default) and in English (books opened with MESSAGES=EN).
#pragma once

namespace tabsmith {

enum class Msg {
    k00002,
    k00005,
    k00100,
    k00900,
    k00901,
    k00902,
    k02100,
    k02101,
    k02200,
    k02201,
    k02202,
    k02209Keyword,
    k02209AddSheet,
    k02210,
    k02211,
    k02300,
    k02301,
    k02302,
    k02303,
    k02304,
    k02305,
    k02306,
    k02310,
    k02311,
    k02319,
    k02320,
    k02321,
    k02322,
    k02401,
    k02402,
    k02403,
    k02405,
    k02406,
    k02407,
    k02408,
    k02409,
    k02410,
    k02420,
    k02430,
    k02431,
    k02432,
    k02440,
    k02500,
    k02501,
    k02504,
    k02505,
    k02506,
    k02507,
    k02510,
    k02511,
    k02600,
    k02601,
    k02602,
    k02603,
    k02604,
    k02605,
    k02621,
    k02622,
    k02631,
    k02632,
    k02633,
    k03001,
    k03002,
    k03008,
    k03009,
    k03100,
    k03101,
    k03102,
    k03103,
    k03110,
    k03120,
    k03121,
    k03122,
    k03123,
    k03190,
    k03200,
    k03201,
    k03202,
    k03203,
    k03600,
    k03700,
    k03701,
    k03702,
    k03703,
    k04000,
    k04100,
};

struct MessageEntry {
    Msg id;
    const char *code;  // five digits
    const char *text;     // printf template
    const char *english;  // the same message in English: the same code, the same arguments in order
};

// The catalogue entry of a message.
const MessageEntry &message_entry(Msg id);

// The texts of the diagnostic log, by diagnostic number; nullptr when the number is unknown.
const char *diagnostic_text(int number);

}  // namespace tabsmith
