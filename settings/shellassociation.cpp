#include "settings/shellassociation.h"

#include "settings/mimeglobs.h"

namespace jbx {

namespace {

constexpr std::string_view kOwnClass = "jbxfile";
constexpr std::string_view kVerb = "jbx";
constexpr std::string_view kVerbMenuText = "&JBXMaker";

} // namespace

std::string ShellAssociationClass(const std::optional<std::string>& extensionOwner)
{
    return extensionOwner && !extensionOwner->empty() ? *extensionOwner : std::string(kOwnClass);
}

ShellAssociationPlan PlanShellAssociation(const ShellClassesFound& found, const std::string& programPath)
{
    const std::string className = ShellAssociationClass(found.extensionOwner);
    // A .jbx naming no class (holding only "open with" lists, say) is
    // linked to ours, else double-clicking a bank would find no verb.
    const bool createdExtension = !found.extensionOwner || found.extensionOwner->empty();
    const bool createdClass = !found.classExists;
    // Our verb made the default by a version that kept no record.
    const std::optional<std::string> previousVerb = found.verb == kVerb ? std::nullopt : found.verb;

    ShellAssociationPlan plan;
    plan.replaceRecord = found.recordedClass != className;
    if (plan.replaceRecord) {
        plan.record = {
            {"Class", className},
            {"CreatedExtension", std::uint32_t(createdExtension ? 1 : 0)},
            {"CreatedClass", std::uint32_t(createdClass ? 1 : 0)},
        };
        if (previousVerb)
            plan.record.push_back({"PreviousVerb", *previousVerb});
        if (found.icon)
            plan.record.push_back({"PreviousIcon", *found.icon});
    }

    if (createdExtension)
        plan.writes.push_back({std::string(kShellExtensionKey), std::string(kOwnClass)});
    // A description the user gave our class is theirs; a new class gets ours.
    if (createdClass && className == kOwnClass)
        plan.writes.push_back({className, std::string(kBankTypeDescription)});
    const std::string shell = className + "\\shell";
    const std::string verb = shell + "\\" + std::string(kVerb);
    plan.writes.push_back({shell, std::string(kVerb)});
    plan.writes.push_back({verb, std::string(kVerbMenuText)});
    plan.writes.push_back({verb + "\\command", ShellOpenCommand(programPath)});
    plan.writes.push_back({className + "\\DefaultIcon", ShellIcon(programPath)});
    return plan;
}

std::string ShellOpenCommand(const std::string& programPath)
{
    // Both in quotes: the program folder usually has a blank in it
    // ("Program Files", "JBX Maker"), and without quotes the program would
    // be handed the rest of its own path as the bank's; a bank's path may
    // have blanks too.
    return "\"" + programPath + "\" \"%1\"";
}

// The first icon in the program file, the program icon.
std::string ShellIcon(const std::string& programPath)
{
    return "\"" + programPath + "\",0";
}

} // namespace jbx
