#!/usr/bin/env python3
"""The Group Policy templates against the library: every value the ADMX
template names is one the library reads from the policy key, and every
value the library reads is named there, with the type it reads; every
policy of the ADMX has its text in the ADML.
    templates.py SOURCE_DIR"""
import re
import sys
import xml.etree.ElementTree as ET

top = sys.argv[1]
ns = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
admx = ET.parse(f"{top}/dist/policy/QVFileIO.admx").getroot()
adml = ET.parse(f"{top}/dist/policy/en-US/QVFileIO.adml").getroot()

# What the templates write: a list (multiText) or a number (decimal, or a
# policy's own enabled value).
templates = {}
for policy in admx.iterfind(".//p:policy", ns):
    assert policy.get("key") == "SOFTWARE\\Policies\\QVFileIO", policy.get("name")
    if policy.get("valueName"):
        templates[policy.get("valueName")] = "number"
    for element in policy.iterfind("p:elements/*", ns):
        kind = {"multiText": "list", "decimal": "number"}[element.tag.split("}")[1]]
        templates[element.get("valueName")] = kind

# What the library reads: lists through ReadStrings, numbers through ReadFlag
# and ReadNumber, in the policy reader's source.
source = open(f"{top}/object/confinement.cpp").read()
reads = {}
for reader, name in re.findall(r'\b(LoadFolders|ReadStrings|ReadFlag|ReadNumber)\(\w+(?:\.get\(\))?, L"(\w+)"', source):
    reads[name] = "number" if reader in ("ReadFlag", "ReadNumber") else "list"

strings = {s.get("id") for s in adml.iterfind(".//p:string", ns)}
problems = []
if templates != reads:
    problems.append(f"the templates name {sorted(templates.items())}, the library reads {sorted(reads.items())}")
for policy in admx.iterfind(".//p:policy", ns):
    for attribute in ("displayName", "explainText"):
        text = re.match(r"\$\(string\.(\w+)\)", policy.get(attribute)).group(1)
        if text not in strings:
            problems.append(f"{policy.get('name')}: the ADML has no string {text}")
for problem in problems:
    print("FAIL:", problem)
print(f"templates: {len(templates)} values, {len(problems)} problems")
sys.exit(1 if problems else 0)
