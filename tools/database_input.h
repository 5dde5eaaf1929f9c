// Opening a database for the command-line tools: the host path exactly as given, with no device path in
// between, so any name the host allows works (backslashes, bytes that are not UTF-8), or standard input
// for "-". The storage form comes from the name (".zdb") or from the gzip magic at the start of a regular
// file; standard input and pipes go through zlib, which hands on data that is not gzip unchanged.
#pragma once

#include "db/database_reader.h"

#include <string>

// Opens the database and reads and checks its header. Codes:
//   0 open: header holds its 29 bytes and the reader stands before the first length byte
//  -1 refused, problem says why: the system's reason, a folder; nothing stays open
//  -2 not a database (fewer than 29 header bytes, or a format mark other than 11), problem says why: the
//     gzip damage or cut that ended the data before the header's end, a ".zdb" that is not gzip, or the
//     header itself; nothing stays open
// How a compressed file made of members is read:
//   MembersAhead       the pool inflates them ahead, the reader hands their bytes out in order (dump)
//   MembersSequential  by the one gzip stream, member after member, never by the pool (what info needs to
//                      count members and see every trailer)
//   MembersScanned     the pool's threads test the records themselves (a scan without progress: find)
enum MemberReading { MembersAhead, MembersSequential, MembersScanned };
int OpenToolDatabase(const std::string& path, DatabaseReader* reader,
                     unsigned char header[DatabaseHeaderSize], std::string* problem,
                     MemberReading reading = MembersAhead);

// After a scan that read to the end of the data: reads a compressed file on to its end and says what the
// user must know of the records printed: message gets "FILE: damaged (CRC error): the records printed may
// be wrong" (or another reason), or gzip's warning of bytes after the last member, or stays empty. Call it
// before the reader is closed. Returns the reader's end code (DatabaseReadEndCode); every code but
// DatabaseReadSound and DatabaseReadNotChecked is an error (exit 2).
int DatabaseReadVerdict(const std::string& path, DatabaseReader* reader, int scanned, std::string* message);
