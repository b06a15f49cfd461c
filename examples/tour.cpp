// A tour of the C++ layer: find controllers, read state and I/O, run a
// command, send a program and start it.
//
//   tour_cpp [ADDRESS [PROJECT.npj]]
//
// Failures throw tavrix::Error, which carries the code and its description.
#include <cstdio>
#include <string>
#include <vector>

#include <tavrix.hpp>

int main(int argc, char** argv) try {
    std::string address = argc > 1 ? argv[1] : "";
    const std::string project = argc > 2 ? argv[2] : "program/blink.npj";
    if (address.empty()) {
        const std::vector<std::string> found = tavrix::search(500).value();
        if (found.empty()) {
            std::fprintf(stderr, "no controller answered\n");
            return 1;
        }
        for (const std::string& a : found) std::printf("found: %s\n", a.c_str());
        address = found.front();
    }

    tavrix::Controller ctl = tavrix::Controller::open(address).value();
    std::printf("controller %s: %s, %u axes, state %u\n", address.c_str(), ctl.softVersion().value().text.c_str(),
                ctl.axes(), ctl.state().value());
    std::printf("inputs 0-15: 0x%04x\n", ctl.inputs(0, 15).value());
    ctl.setOutput(3, true).value();
    std::printf("output 3: %d\n", ctl.output(3).value() ? 1 : 0);

    std::string answer = ctl.execute("?1+2*3").value();
    answer.erase(answer.find_last_not_of("\r\n") + 1);
    std::printf("?1+2*3 -> %s\n", answer.c_str());

    ctl.runProject(project).value();
    std::printf("program started: state %u\n", ctl.state().value());
    ctl.stop().value();
    return 0;  // the controller closes its link here
} catch (const tavrix::Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
}
