// The XDG autostart entry that starts the agent with the desktop session.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

TEST (AutostartEntry, StartsTheInstalledAgentAndStaysOutOfMenus)
{
    std::ifstream file (VORNIQ_AUTOSTART_ENTRY);
    ASSERT_TRUE (file.good()) << VORNIQ_AUTOSTART_ENTRY;

    std::string line, group;
    std::map<std::string, std::string> keys;

    while (std::getline (file, line))
    {
        if (line.empty() || line[0] == '#')
            continue;

        if (line.front() == '[')
        {
            group = line;
            continue;
        }

        const auto equals = line.find ('=');
        ASSERT_NE (equals, std::string::npos) << line;
        EXPECT_EQ (group, "[Desktop Entry]") << line;
        EXPECT_TRUE (keys.emplace (line.substr (0, equals), line.substr (equals + 1)).second) << "twice: " << line;
    }

    EXPECT_EQ (keys["Type"], "Application");
    EXPECT_EQ (keys["Exec"], VORNIQ_AGENT_INSTALLED_EXECUTABLE);
    EXPECT_EQ (keys["NoDisplay"], "true");
    EXPECT_FALSE (keys["Name"].empty());
}
