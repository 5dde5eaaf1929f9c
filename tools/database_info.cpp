// A database file examined whole.
#include "tools/database_info.h"

#include "db/database_reader.h"
#include "tools/database_input.h"

#include <sys/stat.h>

// clang-format off
static const char* const EndTexts[] = {
    "whole",
    "cut: the file ends before its data do",
    "damaged: the gzip data are wrong (a member's header, its compressed data, CRC-32 or length)",
    "damaged: a record length below 8",
    "not a database",
    "cannot be opened",
};
// clang-format on
static_assert(sizeof EndTexts / sizeof EndTexts[0] == InfoCannotOpen + 1);

const char* DatabaseInfoEndText(int end) {
    return EndTexts[end];
}

// The verdict on a gzip stream that has ended.
static int GzipEnd(const GzipStream& gzip) {
    if (gzip.endCode == GzipEndedWhole) return InfoWhole;
    return gzip.endCode == GzipEndedDamaged ? InfoDamaged : InfoCut;
}

int ExamineDatabase(const std::string& path, DatabaseInfo* info) {
    *info = DatabaseInfo();
    DatabaseReader reader;
    // One sequential stream counts every member and sees every trailer and byte after the last member.
    int opened = OpenToolDatabase(path, &reader, info->header, &info->problem, MembersSequential);
    if (opened != 0) return info->end = opened == -1 ? InfoCannotOpen : InfoNotDatabase;
    const unsigned char* block = nullptr;
    int length = 0;
    int code;
    while ((code = NextRecordBlock(&reader, &block, &length)) == 1)
        info->records++;
    // Read on past the end mark: the bytes there, and the gzip trailers that are checked as they come.
    unsigned char rest[4096];
    long got;
    if (code == -2) reader.position = reader.end; // what follows a bad length byte is no record
    while ((got = ReadDatabaseBytes(&reader, rest, sizeof rest)) > 0)
        if (code == 0) info->trailingBytes += got;
    info->endMark = code == 0;
    info->gzip = reader.compressed && reader.gzip.members > 0;
    info->members = reader.gzip.members;
    info->gzipDamage = reader.gzip.damage;

    info->end = code == -2 ? InfoBadLength : code == -1 ? InfoCut : InfoWhole;
    // Damaged gzip data may inflate to nonsense before zlib notices: the gzip verdict comes first.
    if (reader.compressed && GzipEnd(reader.gzip) != InfoWhole) info->end = GzipEnd(reader.gzip);
    struct stat status;
    if (reader.gzip.trailingOffset >= 0 && path != "-" && stat(path.c_str(), &status) == 0)
        info->trailingCompressed = (long long)status.st_size - reader.gzip.trailingOffset;
    CloseDatabaseReader(&reader);
    return info->end;
}
