// The gzip stream: zlib's reading rules for plain files, members, trailing bytes and short files, with
// a member's compressed data inflated by zlib or ISA-L. The header and the trailer are read here, the
// same for both, so the two can only differ in the compressed data themselves.
#include "db/gzip_stream.h"

#ifdef DIALDEX_ISAL
#include "db/gzip_isal.h"
#endif

#include <cstdlib>
#include <cstring>
#include <zlib.h>

// What the stream does next.
enum GzipState {
    LookForMember = 0, // at the start, or after a member: the magic, or plain bytes, or the end
    CopyPlain = 1,     // not gzip: bytes handed out unchanged
    ReadHeader = 2,    // the rest of a member's header, after its magic
    InflateData = 3,   // a member's compressed data
    CheckTrailer = 4,  // a member's CRC-32 and length
    StreamEnded = 5
};

constexpr unsigned char GzipMagic[2] = {0x1F, 0x8B};
constexpr int DeflateMethod = 8;
// Header flags: header check, extra field, name, comment; the top three are reserved.
constexpr int FlagHeaderCheck = 0x02;
constexpr int FlagExtra = 0x04;
constexpr int FlagName = 0x08;
constexpr int FlagComment = 0x10;
constexpr int FlagsReserved = 0xE0;
#ifdef DIALDEX_ISAL
// Bytes inflated again after ISA-L gave up on a member are dropped through this buffer.
constexpr int ScratchSize = 64 * 1024;
#endif
// One inflate call never asks for more than this (zlib counts in unsigned int).
constexpr long LargestInflateRequest = 1L << 30;

// clang-format off
static const char16_t* const DamageTexts[] = {
    u"",
    u"unknown compression method",
    u"unknown header flags set",
    u"header CRC error",
    u"invalid compressed data",
};
// clang-format on
static_assert(sizeof DamageTexts / sizeof DamageTexts[0] == GzipDamageData + 1);

const char16_t* GzipDamageText(int damage) {
    return damage >= 0 && damage <= GzipDamageData ? DamageTexts[damage] : u"";
}

int DefaultGzipInflater() {
    return GzipIsalBuiltIn() ? GzipInflaterIsal : GzipInflaterZlib;
}

#ifndef DIALDEX_ISAL
bool GzipIsalBuiltIn() {
    return false;
}
#endif

// A wrong trailer met earlier outranks a whole or an early end: the bytes were not what was written.
static void EndStream(GzipStream* stream, int code) {
    if (stream->checkFailed && (code == GzipEndedWhole || code == GzipEndedEarly)) code = GzipEndedDamaged;
    stream->state = StreamEnded;
    stream->endCode = code;
}

// --- Compressed bytes from the file ---------------------------------------------------------------------

// Moves the bytes not yet taken to the front and fills the rest of the buffer from the file, as far as it
// goes. Returns false when the file could not be read.
static bool RefillInput(GzipStream* stream) {
    int kept = stream->inputEnd - stream->inputStart;
    std::memmove(stream->input, stream->input + stream->inputStart, size_t(kept));
    stream->inputOffset += stream->inputStart;
    stream->inputStart = 0;
    stream->inputEnd = kept;
    while (stream->inputEnd < stream->inputCapacity) {
        unsigned char* free = stream->input + stream->inputEnd;
        long room = stream->inputCapacity - stream->inputEnd;
        long got = stream->sequential
                       ? ReadFileBytes(stream->file, free, room)
                       : ReadFileBytesAt(stream->file, stream->inputOffset + stream->inputEnd, free, room);
        if (got < 0) {
            stream->fileEnded = true;
            return false;
        }
        if (got == 0) {
            stream->fileEnded = true;
            break;
        }
        stream->inputEnd += int(got);
    }
    return true;
}

// Makes at least needed bytes (at most the buffer's size) available. Codes: 0 they are; 1 the file ends
// first; 3 the file could not be read.
static int NeedInput(GzipStream* stream, int needed) {
    while (stream->inputEnd - stream->inputStart < needed) {
        if (stream->fileEnded) return GzipEndedEarly;
        if (!RefillInput(stream)) return GzipEndedUnreadable;
    }
    return 0;
}

#ifdef DIALDEX_ISAL
// Goes to a file offset: inside the buffer when it holds it, else the buffer starts again there.
static void SeekInput(GzipStream* stream, long long offset) {
    if (offset >= stream->inputOffset && offset <= stream->inputOffset + stream->inputEnd) {
        stream->inputStart = int(offset - stream->inputOffset);
        return;
    }
    stream->inputOffset = offset;
    stream->inputStart = 0;
    stream->inputEnd = 0;
    stream->fileEnded = false;
}
#endif

static uint32_t LittleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// --- The header ---------------------------------------------------------------------------------------

// Takes count bytes of the header (count at most the buffer's size), adding them to its check.
// Codes: 0 taken; 1 or 3 as NeedInput.
static int TakeHeaderBytes(GzipStream* stream, int count, unsigned char* copy, uLong* check) {
    int code = NeedInput(stream, count);
    if (code != 0) return code;
    const unsigned char* bytes = stream->input + stream->inputStart;
    if (copy != nullptr) std::memcpy(copy, bytes, size_t(count));
    *check = crc32(*check, bytes, unsigned(count));
    stream->inputStart += count;
    return 0;
}

// Skips an extra field of length bytes, or a text up to and with its terminator (length < 0).
static int SkipHeaderField(GzipStream* stream, long length, uLong* check) {
    for (;;) {
        if (length == 0) return 0;
        int code = NeedInput(stream, 1);
        if (code != 0) return code;
        const unsigned char* bytes = stream->input + stream->inputStart;
        long available = stream->inputEnd - stream->inputStart;
        long take = available;
        if (length > 0) {
            if (take > length) take = length;
            length -= take;
        } else {
            const void* terminator = std::memchr(bytes, 0, size_t(available));
            if (terminator != nullptr) {
                take = static_cast<const unsigned char*>(terminator) - bytes + 1;
                length = 0;
            }
        }
        *check = crc32(*check, bytes, unsigned(take));
        stream->inputStart += int(take);
    }
}

// The header after the magic, checked as zlib checks it. Codes: 0 read; 1 the file ends inside it; 2 a
// method other than deflate, a reserved flag or a wrong header check (stream->damage says which); 3
// unreadable.
static int ReadMemberHeader(GzipStream* stream) {
    uLong check = crc32(0, GzipMagic, 2);
    unsigned char fixed[8];
    // The method and flags are judged only once both are there, as zlib judges them.
    int code = TakeHeaderBytes(stream, 2, fixed, &check);
    if (code != 0) return code;
    int flags = fixed[1];
    if (fixed[0] != DeflateMethod || (flags & FlagsReserved) != 0) {
        stream->damage = fixed[0] != DeflateMethod ? GzipDamageMethod : GzipDamageFlags;
        return GzipEndedDamaged;
    }
    code = TakeHeaderBytes(stream, 6, fixed + 2, &check); // time, extra flags, system
    if (code != 0) return code;
    if (flags & FlagExtra) {
        unsigned char length[2];
        code = TakeHeaderBytes(stream, 2, length, &check);
        if (code == 0) code = SkipHeaderField(stream, long(length[0]) | long(length[1]) << 8, &check);
        if (code != 0) return code;
    }
    if (flags & FlagName) {
        code = SkipHeaderField(stream, -1, &check);
        if (code != 0) return code;
    }
    if (flags & FlagComment) {
        code = SkipHeaderField(stream, -1, &check);
        if (code != 0) return code;
    }
    if (flags & FlagHeaderCheck) {
        unsigned char stored[2];
        uLong ignored = 0;
        code = TakeHeaderBytes(stream, 2, stored, &ignored);
        if (code != 0) return code;
        if ((unsigned(stored[0]) | unsigned(stored[1]) << 8) != (check & 0xFFFF)) {
            stream->damage = GzipDamageHeaderCheck;
            return GzipEndedDamaged;
        }
    }
    return 0;
}

// --- Inflaters ----------------------------------------------------------------------------------------

static bool StartZlib(GzipStream* stream) {
    if (stream->zlib == nullptr) {
        stream->zlib = static_cast<z_stream*>(std::calloc(1, sizeof(z_stream)));
        if (stream->zlib == nullptr) return false;
        if (inflateInit2(stream->zlib, -MAX_WBITS) != Z_OK) { // raw deflate: the wrapper is read here
            std::free(stream->zlib);
            stream->zlib = nullptr;
            return false;
        }
    } else if (inflateReset(stream->zlib) != Z_OK) {
        return false;
    }
    return true;
}

// Inflates with zlib into output. Sets produced. Codes: -1 the output is full; 0 the compressed data
// ended (the trailer is next); 1 the file ended inside them; 2 damaged data; 3 unreadable.
static int InflateWithZlib(GzipStream* stream, unsigned char* output, long count, long* produced) {
    z_stream* zlib = stream->zlib;
    zlib->next_out = output;
    zlib->avail_out = unsigned(count < LargestInflateRequest ? count : LargestInflateRequest);
    uInt asked = zlib->avail_out;
    int result = -1;
    for (;;) {
        // Without new input zlib may still owe bytes of what it has taken (the rest of a long match).
        int inputCode = stream->inputStart == stream->inputEnd ? NeedInput(stream, 1) : 0;
        if (inputCode == GzipEndedUnreadable) {
            result = inputCode;
            break;
        }
        zlib->next_in = stream->input + stream->inputStart;
        zlib->avail_in = uInt(stream->inputEnd - stream->inputStart);
        int code = inflate(zlib, Z_NO_FLUSH);
        stream->inputStart = int(zlib->next_in - stream->input);
        if (code == Z_STREAM_END) {
            result = 0;
            break;
        }
        if (code != Z_OK && code != Z_BUF_ERROR) {
            result = GzipEndedDamaged;
            break;
        }
        if (zlib->avail_out == 0) break;
        if (code == Z_BUF_ERROR && inputCode != 0) { // nothing more to give, and the file has ended
            result = inputCode;
            break;
        }
    }
    *produced = long(asked - zlib->avail_out);
    return result;
}

// Starts the inflater in use on a member whose compressed data begin at the input's position.
static bool StartInflater(GzipStream* stream) {
    stream->deflateOffset = stream->inputOffset + stream->inputStart;
    stream->memberOutput = 0;
    stream->crc = 0;
    stream->trailerBytesChecked = 0;
    stream->stagedStart = stream->stagedEnd = 0;
    stream->memberDataEnded = false;
#ifdef DIALDEX_ISAL
    if (stream->inflater == GzipInflaterIsal) {
        if (stream->isal == nullptr) stream->isal = CreateIsalInflater();
        if (stream->isal != nullptr) {
            ResetIsalInflater(stream->isal);
            return true;
        }
        stream->inflater = GzipInflaterZlib;
    }
#endif
    return StartZlib(stream);
}

#ifdef DIALDEX_ISAL
constexpr int HandToZlib = 2;

// Inflates with ISA-L into output. Sets produced. Codes: -1 the output is full; 0 the compressed data
// ended, the input is at the trailer and crc is set; HandToZlib for anything else, the file's end too
// (ISA-L may hold back the last bytes a cut file's data give, zlib does not).
static int InflateWithIsalSteps(GzipStream* stream, unsigned char* output, long count, long* produced) {
    *produced = 0;
    for (;;) {
        // At the file's end ISA-L is asked once more with no input, to give what it holds; if that does
        // not end the data, the file ends inside them.
        int inputCode = stream->inputStart == stream->inputEnd ? NeedInput(stream, 1) : 0;
        if (inputCode == GzipEndedUnreadable) return HandToZlib;
        int used = 0;
        long made = 0;
        int readAhead = 0;
        uint32_t crc = 0;
        int code = InflateWithIsal(stream->isal, stream->input + stream->inputStart,
                                   stream->inputEnd - stream->inputStart, &used, output + *produced,
                                   count - *produced, &made, &readAhead, &crc);
        stream->inputStart += used;
        *produced += made;
        if (code == 0) {
            SeekInput(stream, stream->inputOffset + stream->inputStart - readAhead);
            stream->crc = crc;
            return 0;
        }
        if (code != -1) return HandToZlib;
        if (*produced == count) return -1;
        if (used == 0 && made == 0) return HandToZlib; // no way on: the file has ended inside the data
    }
}

// ISA-L gave up on the member: zlib inflates it again from its start, drops what was handed out of it
// already, and carries on where that ends. Codes: -1 zlib is there; otherwise the member ended before
// (0 its data ended just there, 1 to 3 as InflateWithZlib, 2 also when zlib ends before what ISA-L gave).
static int HandMemberToZlib(GzipStream* stream) {
    stream->inflater = GzipInflaterZlib;
    if (!StartZlib(stream)) return GzipEndedUnreadable;
    if (stream->scratch == nullptr) stream->scratch = static_cast<unsigned char*>(std::malloc(ScratchSize));
    if (stream->scratch == nullptr) return GzipEndedUnreadable;
    SeekInput(stream, stream->deflateOffset);
    stream->crc = 0;
    long long remaining = stream->memberOutput;
    int code = -1;
    while (remaining > 0 && code == -1) {
        long made = 0;
        code = InflateWithZlib(stream, stream->scratch,
                               remaining < ScratchSize ? long(remaining) : ScratchSize, &made);
        stream->crc = uint32_t(crc32(stream->crc, stream->scratch, unsigned(made)));
        remaining -= made;
    }
    if (remaining > 0) return GzipEndedDamaged; // zlib refuses what ISA-L gave
    return code;
}
#endif

static int InflateMemberWithZlib(GzipStream* stream, unsigned char* output, long count, long* produced) {
    int code = InflateWithZlib(stream, output, count, produced);
    stream->crc = uint32_t(crc32(stream->crc, output, unsigned(*produced)));
    stream->memberOutput += *produced;
    return code;
}

#ifdef DIALDEX_ISAL
// ISA-L's output is handed out a unit at a time, and only once the unit is inflated whole: an error
// anywhere in it drops the unit and zlib judges the member (a request this large is inflated straight
// into the caller's buffer, a smaller one into the stream's own). A member that ends inside its first
// unit is judged by zlib too: ISA-L reads on through a block whose Huffman code is incomplete, which zlib
// refuses, and such a block is caught this way in every member of up to a unit. (In a longer member it
// is not: see docs/decisions.md.)
constexpr long IsalUnitSize = 128 * 1024;

static int InflateMemberWithIsal(GzipStream* stream, unsigned char* output, long count, long* produced) {
    *produced = 0;
    for (;;) {
        if (stream->stagedStart < stream->stagedEnd) {
            long take = stream->stagedEnd - stream->stagedStart;
            if (take > count - *produced) take = count - *produced;
            std::memcpy(output + *produced, stream->staging + stream->stagedStart, size_t(take));
            stream->stagedStart += int(take);
            stream->memberOutput += take;
            *produced += take;
        }
        if (stream->stagedStart < stream->stagedEnd || *produced == count) return -1;
        if (stream->memberDataEnded) return 0;
        bool direct = count - *produced >= IsalUnitSize;
        if (!direct && stream->staging == nullptr) {
            stream->staging = static_cast<unsigned char*>(std::malloc(size_t(IsalUnitSize)));
            if (stream->staging == nullptr) return GzipEndedUnreadable;
        }
        unsigned char* unit = direct ? output + *produced : stream->staging;
        long made = 0;
        int code = InflateWithIsalSteps(stream, unit, direct ? count - *produced : IsalUnitSize, &made);
        if (code == HandToZlib || (code == 0 && stream->memberOutput == 0)) {
            // The unit is dropped: zlib inflates the member again and gives it, or ends before it.
            stream->stagedStart = stream->stagedEnd = 0;
            code = HandMemberToZlib(stream);
            if (code != -1) return code;
            long more = 0;
            code = InflateMemberWithZlib(stream, output + *produced, count - *produced, &more);
            *produced += more;
            return code;
        }
        stream->memberDataEnded = code == 0;
        if (direct) {
            stream->memberOutput += made;
            *produced += made;
        } else {
            stream->stagedStart = 0;
            stream->stagedEnd = int(made);
        }
    }
}
#endif

// The member's compressed data into output. Sets produced. Codes as InflateWithZlib.
static int InflateMember(GzipStream* stream, unsigned char* output, long count, long* produced) {
#ifdef DIALDEX_ISAL
    if (stream->inflater == GzipInflaterIsal) return InflateMemberWithIsal(stream, output, count, produced);
#endif
    return InflateMemberWithZlib(stream, output, count, produced);
}

// --- The stream ---------------------------------------------------------------------------------------

int OpenGzipStream(GzipStream* stream, FileHandle file, int inputCapacity, int inflater) {
    *stream = GzipStream();
    stream->file = file;
    // ISA-L hands a troubled member back to zlib, which reads it again from its start: only a file that
    // can be read at any offset allows that.
    stream->sequential = !FileReadableAtOffsets(file);
    stream->inflater = GzipIsalBuiltIn() && !stream->sequential ? inflater : GzipInflaterZlib;
    stream->inputCapacity = inputCapacity < 16 ? 16 : inputCapacity;
    stream->input = static_cast<unsigned char*>(std::malloc(size_t(stream->inputCapacity)));
    if (stream->input == nullptr) {
        EndStream(stream, GzipEndedUnreadable);
        return -2;
    }
    return 0;
}

void ResumeGzipStreamAt(GzipStream* stream, long long offset) {
    stream->inputOffset = offset;
    stream->inputStart = 0;
    stream->inputEnd = 0;
    stream->fileEnded = false;
    stream->state = LookForMember;
    stream->afterMember = offset > 0;
}

void CloseGzipStream(GzipStream* stream) {
#ifdef DIALDEX_ISAL
    if (stream->isal != nullptr) DestroyIsalInflater(stream->isal);
#endif
    stream->isal = nullptr;
    if (stream->zlib != nullptr) {
        inflateEnd(stream->zlib);
        std::free(stream->zlib);
    }
    stream->zlib = nullptr;
    std::free(stream->input);
    stream->input = nullptr;
    std::free(stream->scratch);
    stream->scratch = nullptr;
    std::free(stream->staging);
    stream->staging = nullptr;
    stream->inputStart = stream->inputEnd = 0;
    if (stream->state != StreamEnded) EndStream(stream, GzipEndedWhole);
}

// One step at the start or after a member. zlib needs two bytes to see the magic, so a file of a single
// byte is plain, and a single byte after a member is trailing.
static void LookForNextMember(GzipStream* stream) {
    int code = NeedInput(stream, 2);
    int available = stream->inputEnd - stream->inputStart;
    if (available == 0) {
        EndStream(stream, code == GzipEndedUnreadable ? GzipEndedUnreadable : GzipEndedWhole);
        return;
    }
    const unsigned char* bytes = stream->input + stream->inputStart;
    if (available >= 2 && bytes[0] == GzipMagic[0] && bytes[1] == GzipMagic[1]) {
        stream->inputStart += 2;
        stream->state = ReadHeader;
        stream->afterMember = true;
        stream->members++;
        return;
    }
    if (stream->afterMember) {
        stream->trailingBytes = true; // ignored, as zlib ignores them, but told
        stream->trailingOffset = stream->inputOffset + stream->inputStart;
        EndStream(stream, GzipEndedWhole);
        return;
    }
    stream->state = CopyPlain;
}

// The CRC-32 and then the length (modulo 2^32) of the member; a file that ends before either is whole
// ends early, and a check is judged as soon as its four bytes are there. A wrong one is noted and the
// stream reads on: the data were inflated without a fault, so what follows is read as well as it can be.
static void CheckMemberTrailer(GzipStream* stream) {
    while (stream->trailerBytesChecked < 8) {
        int code = NeedInput(stream, 4);
        if (code != 0) {
            EndStream(stream, code);
            return;
        }
        uint32_t stored = LittleEndian32(stream->input + stream->inputStart);
        uint32_t expected = stream->trailerBytesChecked == 0 ? stream->crc : uint32_t(stream->memberOutput);
        if (stored != expected) stream->checkFailed = true;
        stream->inputStart += 4;
        stream->trailerBytesChecked += 4;
    }
    stream->state = LookForMember;
}

long ReadGzipStream(GzipStream* stream, unsigned char* destination, long count) {
    long done = 0;
    while (done < count && stream->state != StreamEnded) {
        switch (stream->state) {
        case LookForMember:
            LookForNextMember(stream);
            break;
        case CopyPlain: {
            int code = NeedInput(stream, 1);
            if (code != 0) {
                EndStream(stream, code == GzipEndedUnreadable ? GzipEndedUnreadable : GzipEndedWhole);
                break;
            }
            long take = stream->inputEnd - stream->inputStart;
            if (take > count - done) take = count - done;
            std::memcpy(destination + done, stream->input + stream->inputStart, size_t(take));
            stream->inputStart += int(take);
            done += take;
            break;
        }
        case ReadHeader: {
            int code = ReadMemberHeader(stream);
            if (code != 0) {
                EndStream(stream, code);
            } else if (!StartInflater(stream)) {
                EndStream(stream, GzipEndedUnreadable);
            } else {
                stream->state = InflateData;
            }
            break;
        }
        case InflateData: {
            long produced = 0;
            int code = InflateMember(stream, destination + done, count - done, &produced);
            done += produced;
            if (code == 0) {
                stream->state = CheckTrailer;
            } else if (code > 0) {
                if (code == GzipEndedDamaged) stream->damage = GzipDamageData;
                EndStream(stream, code);
            }
            break;
        }
        case CheckTrailer:
            CheckMemberTrailer(stream);
            break;
        }
    }
    return done;
}
