// StreetPlan start-up. Until the main window exists the program reports its version and exits.
#include <cstdio>

int main(int, char **) {
    std::printf("StreetPlan 0.1.0\n");
    return 0;
}
