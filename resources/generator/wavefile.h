// The speaker test sound: a soft two-note chime as a canonical 44-byte-header PCM wave file.
#pragma once

#include <string>

bool writeChimeWave(const std::string& path);
