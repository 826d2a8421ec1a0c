#include "run/run_driver.hpp"
#include "run/run_environment.hpp"

int main() {
    korvanel::OutputChannel console = korvanel::consoleChannel(korvanel::localeDecimalSeparator());
    return korvanel::runKorvanel(console);
}
