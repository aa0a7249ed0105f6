// The trial of a version the self-update has just installed: the installer leaves a marker in
// the program folder, and the terminal removes it once it has reached the backend. The kiosk
// launcher counts the starts of a version whose marker stays and puts the previous version
// back after three of them.
#pragma once

#include <string>

class UpdateTrial {
public:
    static constexpr char kMarkerFileName[] = ".update-trial";
    // A supervised terminal on trial that has not reached the backend by then ends itself with
    // kExitUnconfirmed, so that its supervisor starts it again and the launcher counts the start.
    static constexpr int kReachBackendMs = 2 * 60 * 1000;
    static constexpr int kExitUnconfirmed = 3;

    explicit UpdateTrial(std::string programFolder);

    bool pending() const;
    // The backend answered: the new version stays. Removing the marker is the record on disk.
    void confirm();

private:
    std::string marker_;
};
