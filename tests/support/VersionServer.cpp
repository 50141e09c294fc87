#include "VersionServer.h"

#include <sstream>
#include <stdexcept>

#ifndef VORNIQ_TEST_SUPPORT_DIR
 #error "VORNIQ_TEST_SUPPORT_DIR must name the folder of version_server.py"
#endif

VersionServer::VersionServer (const std::string& routesJson)
{
    setRoutes (routesJson);
    ChildProgram::Options options;
    options.arguments = { VORNIQ_TEST_SUPPORT_DIR "/version_server.py", folder / "routes.json", folder / "requests.log" };
    server = std::make_unique<ChildProgram> ("/usr/bin/python3", options);

    for (int i = 0; i < 250 && port == 0; ++i)
    {
        auto text = server->standardOutput();

        if (text.find ('\n') != std::string::npos)
            port = std::stoi (text);
        else
            server->waitForExit (20);
    }

    if (port == 0)
        throw std::runtime_error ("the loopback version server did not start: " + server->standardError());
}

void VersionServer::setRoutes (const std::string& routesJson)
{
    writeTextFile (folder / "routes.json", routesJson);
}

std::string VersionServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string (port);
}

std::vector<std::string> VersionServer::requestedPaths() const
{
    std::vector<std::string> paths;
    std::istringstream lines (readTextFile (folder / "requests.log"));

    for (std::string line; std::getline (lines, line);)
        if (! line.empty())
            paths.push_back (line);

    return paths;
}
