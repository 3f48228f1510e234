// Entry point: the whole program runs inside CApplication::Init, and its
// result becomes the exit status.
#include <cstdlib>

#include "app/Application.h"

int main(int argc, char** argv)
{
    std::exit(CApplication::Init(argc, argv));
}
