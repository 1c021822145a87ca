#include <cstdio>
int main() { std::puts("parlino-render"); return 0; }
