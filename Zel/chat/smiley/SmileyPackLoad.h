// The smiley pack loader's work, without its thread: the definition file read whole, its lines
// paired with the pack's GIF files in order, and each picture decoded. The caller lists the files
// (sorted, as the pack folder's "*.gif" listing gives them) and owns the thread, the observer and
// the sharing of the result with the windows.
#pragma once

#include "Zel/chat/smiley/SmileyPicture.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

// A definition file larger than this is not read: a million bytes hold tens of thousands of codes.
const size_t kSmileyDefinitionMaxBytes = size_t(1) << 20;

// The whole of "_define.ini" in folder (ending with a separator). False for a file that cannot be
// opened, is empty, is larger than kSmileyDefinitionMaxBytes or reads short.
bool ReadSmileyDefinition(const CZELString& folder, std::vector<unsigned char>& bytes);

// Fills pictures, in smiley number order, from the pack in folder whose GIF files are gifFiles.
// Returns true when loading ended with a definition read and at least one GIF file present (the
// observer is told then); false, with pictures empty, for a missing, empty or unreadable
// definition or no GIF file, and false as soon as stop is set. A GIF that cannot be decoded still
// gives a smiley, with its codes and no frames.
bool LoadSmileyPictures(const CZELString& folder, const CZELArray<CZELString>& gifFiles,
                        std::vector<std::unique_ptr<SmileyPicture>>& pictures, const std::atomic<bool>* stop = nullptr);
