// Stands in for a help viewer: records what it was asked to open, then stays
// up for a while as a real viewer would.
//   ov_fake_viewer <record file> <milliseconds to stay> <help file>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    {
        std::ofstream record(argv[1], std::ios::trunc);
        record << argv[3];
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return 0;
}
