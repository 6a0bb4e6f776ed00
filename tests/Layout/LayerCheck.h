// The floors of the source tree: a file may include files of its own floor
// and of the floors below, never of a floor above, so the arrows between
// the layers run one way. Runtime and the business layer include no Qt.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

struct TFloor {
    const char* Path;   // a folder of src/, or one file of it without its extension
    int Level;
    bool Deep = true;   // also the folders below, where they have no entry of their own
};

// The program's floors, lowest first; a file takes the entry that names
// it, else its nearest folder with an entry.
std::span<const TFloor> ProgramFloors();

// One line per offending include of the tree under aSourceRoot (the src/
// folder): an include of a higher floor, a quoted include that names no
// file of the tree, a Qt header below the Ui floor, a file on no floor.
std::vector<std::string> LayerViolations(const std::filesystem::path& aSourceRoot,
                                         std::span<const TFloor> aFloors = ProgramFloors());
