// Writes the seed pieces of the scene fuzz corpus as scene files into the folder given as
// the only argument (seed_0.scene, seed_1.scene, ...).
#include <stdio.h>

#include <string>

#include "model/scene.h"
#include "scene_target.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: scene_seeds FOLDER\n", stderr);
        return 2;
    }
    pool_setup(POOL_MAIN, 16 << 20, true);
    pool_setup(POOL_TMP, 16 << 20, true);
    int status = 0;
    for (i64 i = 0; i < scene_fuzz_seed_count(); i += 1) {
        Piece piece;
        scene_fuzz_seed(i, &piece, POOL_MAIN);
        Str bytes = scene_encode(&piece, POOL_TMP);
        std::string path = std::string(argv[1]) + "/seed_" + std::to_string(i) + ".scene";
        FILE* file = fopen(path.c_str(), "wb");
        if (!file || fwrite(bytes.data, 1, (size_t)bytes.length, file) != (size_t)bytes.length) {
            fprintf(stderr, "scene_seeds: %s could not be written\n", path.c_str());
            status = 1;
        }
        if (file) fclose(file);
    }
    pool_release(POOL_MAIN);
    pool_release(POOL_TMP);
    return status;
}
