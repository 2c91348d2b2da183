#pragma once

// String resources of the test program: texts of lengths around the loader's buffer
// sizes (256, then 512, ...), made of the digits 0 to 9 over and over.
#define IDS_DIGITS_253 300
#define IDS_DIGITS_254 301
#define IDS_DIGITS_255 302
#define IDS_DIGITS_256 303
#define IDS_UMLAUTS_600 304 // umlauts where the first buffer ends, and ß last
#define IDS_DIGITS_509 305
#define IDS_DIGITS_510 306
#define IDS_NO_TEXT_IN_BLOCK 310 // its block of sixteen holds texts, it has none
#define IDS_NO_TEXT_NO_BLOCK 4000
