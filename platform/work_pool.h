// Numbered pieces of work done on several threads and taken in their order: the reader of a ".zdb" made
// of members inflates them on every core and its scan takes them one after the other. A piece's result
// lives in one of a fixed number of slots; a piece is started only when its slot is free, so at most
// that many results wait at any time.
#pragma once

struct OrderedWork;

// How many processors this process may run on (at least 1).
int ProcessorCount();

// Starts threads doing work(context, piece, slot, worker) for pieces 0 to pieceCount - 1, each piece in
// slot piece % slotCount, worker being the thread's number (0 to threadCount - 1), so that what a piece
// needs only while it is worked on is kept once a thread rather than once a slot. Returns null when no
// thread could be started (the caller then does the work itself).
OrderedWork* StartOrderedWork(int threadCount, int slotCount, int pieceCount,
                              void (*work)(void* context, int piece, int slot, int worker), void* context);
// Waits until the piece is done (pieces are taken in order, each once) and returns its slot.
int TakeWorkPiece(OrderedWork* work, int piece);
// The slot of the piece taken last may be used again.
void ReleaseWorkPiece(OrderedWork* work, int piece);
// Starts no more pieces, waits for the ones in hand and frees everything; safe with null.
void EndOrderedWork(OrderedWork* work);
