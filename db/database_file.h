// The database file: a 29-byte header followed by length-prefixed record blocks, stored plain (".db")
// or gzip-compressed (".zdb"). This file knows the header and tells the two storage forms apart;
// database_reader.h walks the records.
#pragma once

#include <cstdint>

constexpr int DatabaseHeaderSize = 29;
constexpr int DatabaseFormatMark = 11;
// The title field holds at most 22 characters and the terminator.
constexpr int DatabaseTitleFieldSize = 23;
constexpr int DatabaseTitleCapacity = 23;
constexpr int DatabaseTitleMaximumLength = 22;

// Offsets of the header fields.
constexpr int HeaderRecordCountOffset = 0;
constexpr int HeaderFormatMarkOffset = 4;
constexpr int HeaderPhoneDigitsOffset = 5;
constexpr int HeaderTitleOffset = 6;

// The device path's last four characters are ".zdb" in any letter case. A path shorter than that
// cannot name a compressed file.
bool IsCompressedDatabasePath(const char16_t* path);

// `ValidateDatabaseFile`: opens the file in the form its name gives, reads and checks the header and
// closes the file again. header receives the bytes read (all 29 when accepted); compressed is set only
// on success. Codes:
//   0 accepted: 29 header bytes read and the format mark is 11
//   1 plain file that could not be opened
//   2 compressed file that the gzip reader could not open
//   3 fewer than 29 bytes could be read (a read error counts as fewer)
//   4 the format mark is not 11
//   5 to 8 the gzip data are damaged before the header's end: 4 plus the gzip stream's damage code
//     (GzipDamageMethod to GzipDamageData, gzip_stream.h)
//  10 nothing exists at the path
//  11 the path names a folder
int ValidateDatabaseFile(const char16_t* path, unsigned char header[DatabaseHeaderSize], bool* compressed);
constexpr int ValidationGzipDamage = 4;
// Why a file was refused, for a box that names a host file: the text for codes 3 to 8 and 11; null for
// the others, whose reason is the host's (FileErrorText, platform/files.h).

const char16_t* ValidationFailureReason(int code);

// Header fields. The record count is a signed little-endian 32-bit number, never checked against the
// records present; the phone digits a signed byte.
int32_t HeaderRecordCount(const unsigned char header[DatabaseHeaderSize]);
int HeaderFormatMark(const unsigned char header[DatabaseHeaderSize]);
int HeaderPhoneDigits(const unsigned char header[DatabaseHeaderSize]);
// The title up to its terminator. A title field without a terminator in its first 22 bytes gives those
// 22 bytes: the field never yields more than a title may hold, whatever the file says.
// Returns the bytes copied (without the terminator).
int HeaderTitle(const unsigned char header[DatabaseHeaderSize], char title[DatabaseTitleCapacity]);

// Fills a header for writing. The title is cut to 22 bytes; the rest of its field is zero.
void MakeDatabaseHeader(unsigned char header[DatabaseHeaderSize], int32_t recordCount, int phoneDigits,
                        const char* title);
