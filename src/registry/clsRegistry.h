#pragma once

// A general class over the registry: a current location (root, key path,
// value name, value type) and a fallback value; typed reads and writes with
// conversion between the registry's data types and variants; keys and values
// created, listed and deleted; file-type associations written. Failures are
// raised as RegistryError. No key or connection handle outlives an operation.

#include "registry/NameList.h"
#include "registry/Variant.h"

#include <cstdint>
#include <string>
#include <vector>

class clsRegistry {
public:
    static constexpr std::int32_t HKEY_CLASSES_ROOT = static_cast<std::int32_t>(0x80000000u);
    static constexpr std::int32_t HKEY_LOCAL_MACHINE = static_cast<std::int32_t>(0x80000002u);

    const std::string& Machine() const { return m_sMachine; }
    void SetMachine(const std::string& sMachine);
    bool KeyExists() const;
    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();
    Variant Value();
    void SetValue(const Variant& vValue);
    bool EnumerateValues(NameList& sKeyNames, std::int32_t& iKeyCount);
    bool EnumerateSections(NameList& sSect, std::int32_t& iSectCount);
    void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                              const std::string& sClassDescription, const std::string& sAssociation,
                              const std::string& sOpenMenuText = "", bool bSupportPrint = false,
                              const std::string& sPrintMenuText = "", bool bSupportNew = false,
                              const std::string& sNewMenuText = "", bool bSupportInstall = false,
                              const std::string& sInstallMenuText = "",
                              std::int32_t lDefaultIconIndex = -1);
    void CreateAdditionalEXEAssociations(const std::string& sClassName,
                                         const std::vector<Variant>& vItems);
    std::int32_t ValueType() const { return m_lValueType; }
    void SetValueType(std::int32_t eValueType) { m_lValueType = eValueType; }
    std::int32_t ClassKey() const { return m_lClassKey; }
    void SetClassKey(std::int32_t eKey) { m_lClassKey = eKey; }
    const std::string& SectionKey() const { return m_sSectionKey; }
    void SetSectionKey(const std::string& sSectionKey) { m_sSectionKey = sSectionKey; }
    const std::string& ValueKey() const { return m_sValueKey; }
    Variant ValueEx(std::int32_t ClassKey, const std::string& SectionKey,
                    const std::string& ValueKey, std::int32_t ValueType, const Variant& Default);
    void SetValueEx(std::int32_t ClassKey, const std::string& SectionKey,
                    const std::string& ValueKey, std::int32_t ValueType, const Variant& Default,
                    const Variant& NewValue);
    void SetValueKey(const std::string& sValueKey) { m_sValueKey = sValueKey; }
    const Variant& Default() const { return m_vDefault; }
    void SetDefault(const Variant& vDefault) { m_vDefault = vDefault; }

private:
    void WriteClassesValue(const std::string& sValue);
    static std::int32_t ReverseByteOrder(std::int32_t lValue);
    static std::string ExpandEnvironmentText(const std::string& sText);

    std::int32_t m_lClassKey = 0;
    std::string m_sSectionKey;
    std::string m_sValueKey;
    std::int32_t m_lValueType = 0;
    Variant m_vDefault;
    std::string m_sMachine;
};
