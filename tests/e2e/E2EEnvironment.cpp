// The end-to-end tests draw through Mesa like the GL tests, and need the same process set-up.
#include "../gl/GLTestEnvironment.cpp"
