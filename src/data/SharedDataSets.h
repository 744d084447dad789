#pragma once
// The datasets that several windows share, owned by the data module (filled in with the
// data-aware layer).
class Tdm;

class SharedDataSets {
protected:
    void createSharedDataSets(Tdm *owner) { (void)owner; }
};
