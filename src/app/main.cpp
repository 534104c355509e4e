// Process entry: turns the arguments after the program name into counted strings and
// runs the application.
#include <stdlib.h>

#include "app/app.h"

int main(int argc, char** argv) {
    Str* args = 0;
    i64 count = argc > 1 ? argc - 1 : 0;
    if (count > 0) {
        args = (Str*)malloc(sizeof(Str) * (size_t)count);
        if (!args) return 1;
        for (i64 i = 0; i < count; i += 1) args[i] = str_from_cstring(argv[i + 1]);
    }
    i32 status = app_main(args, count);
    free(args);
    return status;
}
