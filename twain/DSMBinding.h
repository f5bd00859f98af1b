#pragma once
// The data source's binding to the data source manager: the entry points the
// manager hands over, the manager library loaded when it hands over none, and
// the memory functions for every block that crosses to the host.
#include "platform/twain/Twain.h"

TW_UINT16 CallDSMEntry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 DG, TW_UINT16 DAT,
                       TW_UINT16 MSG, TW_MEMREF data);

// Loads the manager library (a file name or path for dlopen) and resolves
// DSM_Entry.
bool LoadDSM(const char* path);
void UnloadDSM();

// Stores the manager's entry points; null clears them. Only the fields that
// lie inside entry->Size are read.
void SetDSMEntryPoints(const TW_ENTRYPOINT* entry);
// DAT_ENTRYPOINT / MSG_SET from a manager: refuses (false, nothing changed)
// a null record and one whose Size ends inside a function pointer or before
// DSM_Entry.
bool AcceptDSMEntryPoints(const TW_ENTRYPOINT* entry);

// The manager library's name: $VQ_TWAIN_DSM, else "libtwaindsm.so".
const char* DSMLibraryName();

// Blocks come from the manager's four memory functions when it handed over
// all four, else from the local heap (zero-filled; a handle is its address).
// A block is always freed, locked and unlocked by the allocator that made it.
TW_HANDLE AllocDSMMemory(TW_UINT32 bytes);
// A block of the local heap that the same four functions serve: for what the
// source keeps to itself (the transfer buffer), so that freeing it never
// calls a manager that may be ending or gone.
TW_HANDLE AllocLocalMemory(TW_UINT32 bytes);
void FreeDSMMemory(TW_HANDLE handle);
TW_MEMREF LockDSMMemory(TW_HANDLE handle);
void UnlockDSMMemory(TW_HANDLE handle);
