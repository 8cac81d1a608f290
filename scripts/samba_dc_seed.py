"""Seeds a freshly provisioned Samba AD domain controller from an
organisation file's directory, for scripts/samba-dc.sh.

  samba_dc_seed.py plan ORGANISATION
      prints the domain to provision: realm, NetBIOS name, domain SID
  samba_dc_seed.py seed ORGANISATION SMB_CONF
      writes the users (with their proxy addresses and DACL entries), the
      groups and their nesting, and the accounts that are neither, keeping
      the organisation's SIDs; run with the DC stopped, on its own database

Runs under Debian's /usr/bin/python3, which has Samba's bindings.
"""

import collections
import json
import re
import sys

SDDL_ACE_TYPES = {0: "A", 1: "D", 5: "OA", 6: "OD"}
ACE_FLAG_WORDS = [(0x01, "OI"), (0x02, "CI"), (0x04, "NP"), (0x08, "IO"), (0x10, "ID")]
WELL_KNOWN_DOMAINS = ("NT AUTHORITY", "BUILTIN", "")
UF_NORMAL_ACCOUNT_DISABLED = 0x0202


def fail(message):
    sys.stderr.write("samba-dc: %s\n" % message)
    sys.exit(1)


class Plan:
    def __init__(self, path):
        with open(path, encoding="utf-8") as handle:
            self.organisation = json.load(handle)
        self.directory = self.organisation.get("directory") or {}
        context = self.directory.get("namingContext")
        if not context:
            fail("%s: directory.namingContext is missing: the domain controller needs a domain" % path)
        parts = [part.strip() for part in context.split(",")]
        if not all(part.upper().startswith("DC=") for part in parts):
            fail("%s: directory.namingContext %r: only DC= components name a domain" % (path, context))
        self.naming_context = context
        self.realm = ".".join(part[3:] for part in parts).upper()
        sids = [entry["sid"] for entry in self.directory.get("users", []) + self.directory.get("groups", [])]
        domains = collections.Counter(re.sub(r"-\d+$", "", sid) for sid in sids if sid.upper().startswith("S-1-5-21-"))
        if not domains:
            fail("%s: the directory has no user or group with a domain SID (S-1-5-21-...)" % path)
        self.domain_sid = domains.most_common(1)[0][0]
        for sid in sids:
            if not self.in_domain(sid) and not sid.upper().startswith("S-1-5-32-"):
                fail("%s: SID %s is not in the domain %s; a domain controller holds one domain" %
                     (path, sid, self.domain_sid))
        names = collections.Counter(a.get("domain", "") for a in self.directory.get("accounts", [])
                                    if self.in_domain(a["sid"]) and a.get("domain", "") not in WELL_KNOWN_DOMAINS)
        self.netbios = names.most_common(1)[0][0].upper() if names else parts[0][3:].upper()
        self.accounts = {a["sid"].upper(): a for a in self.directory.get("accounts", [])}

    def in_domain(self, sid):
        return sid.upper().startswith(self.domain_sid.upper() + "-") and sid.count("-") == self.domain_sid.count("-") + 1

    def account_name(self, sid, fallback):
        account = self.accounts.get(sid.upper())
        if account and account.get("domain", "").upper() == self.netbios:
            return account["name"]
        return fallback


def sddl_of(entry, path):
    ace_type = entry.get("aceType")
    if isinstance(ace_type, str):
        ace_type = int(ace_type, 0)
    if ace_type not in SDDL_ACE_TYPES:
        fail("%s: ACE type %r cannot be seeded (only 0, 1, 5 and 6)" % (path, ace_type))
    words = "".join(word for bit, word in ACE_FLAG_WORDS if int(str(entry.get("aceFlags", 0)), 0) & bit)
    mask = int(str(entry.get("accessMask", 0)), 0)
    flags = int(str(entry.get("flags", 0)), 0)
    guid = (entry.get("objectType") or "").strip("{}").lower()
    if flags & 3 and not guid:
        fail("%s: flags 0x%x name a GUID that the entry does not give (objectType)" % (path, flags))
    object_type = guid if flags & 1 else ""
    inherited_type = guid if flags & 2 else ""
    if SDDL_ACE_TYPES[ace_type] in ("A", "D"):
        object_type = inherited_type = ""
    return "(%s;%s;0x%x;%s;%s;%s)" % (SDDL_ACE_TYPES[ace_type], words, mask, object_type, inherited_type,
                                     entry["trustee"])


def seed(plan, conf):
    import ldb
    from samba.auth import system_session
    from samba.dcerpc import security
    from samba.ndr import ndr_pack, ndr_unpack
    from samba.param import LoadParm
    from samba.samdb import SamDB

    lp = LoadParm()
    lp.load(conf)
    samdb = SamDB(url=lp.private_path("sam.ldb"), session_info=system_session(), lp=lp)
    base = samdb.domain_dn()
    domain_sid = security.dom_sid(plan.domain_sid)
    relax = ["relax:0"]

    def dn_of_sid(sid):
        found = samdb.search(base=base, scope=ldb.SCOPE_SUBTREE, expression="(objectSid=%s)" % sid, attrs=["dn"])
        return str(found[0].dn) if len(found) == 1 else None

    def ensure_parents(dn):
        parent = ldb.Dn(samdb, dn).parent()
        if str(parent).lower() == base.lower() or exists(str(parent)):
            return
        ensure_parents(str(parent))
        rdn = str(parent).split(",", 1)[0]
        object_class = "organizationalUnit" if rdn.upper().startswith("OU=") else "container"
        samdb.add({"dn": str(parent), "objectClass": object_class})

    def exists(dn):
        try:
            return len(samdb.search(base=dn, scope=ldb.SCOPE_BASE, attrs=["dn"])) == 1
        except ldb.LdbError:
            return False

    # Groups first (members link to them), then users, then the accounts
    # that only name a SID.
    dn_by_name = {}
    directory = plan.directory
    for group in directory.get("groups", []):
        dn = dn_of_sid(group["sid"])
        if dn is None:
            dn = "CN=%s,CN=Users,%s" % (group["name"].replace(",", "\\,"), base)
            samdb.add({"dn": dn, "objectClass": "group", "sAMAccountName": plan.account_name(group["sid"], group["name"]),
                       "objectSid": ndr_pack(security.dom_sid(group["sid"]))}, controls=relax)
        dn_by_name[group["name"]] = dn
    for user in directory.get("users", []):
        ensure_parents(user["dn"])
        if dn_of_sid(user["sid"]) is not None or exists(user["dn"]):
            fail("user %s: %s or its SID is already taken in the provisioned domain" % (user["name"], user["dn"]))
        message = {"dn": user["dn"], "objectClass": "user",
                   "sAMAccountName": plan.account_name(user["sid"], user["name"])[:20],
                   "userAccountControl": str(UF_NORMAL_ACCOUNT_DISABLED),
                   "objectSid": ndr_pack(security.dom_sid(user["sid"]))}
        if user.get("proxyAddresses"):
            message["proxyAddresses"] = user["proxyAddresses"]
        samdb.add(message, controls=relax)
        dn_by_name[user["name"]] = user["dn"]
    known = {entry["sid"].upper() for entry in directory.get("users", []) + directory.get("groups", [])}
    for account in directory.get("accounts", []):
        if account["sid"].upper() in known or not plan.in_domain(account["sid"]) or dn_of_sid(account["sid"]):
            continue
        if account.get("domain", "").upper() != plan.netbios:
            sys.stderr.write("samba-dc: account %s\\%s (%s) is not of the domain %s: not seeded\n" %
                             (account.get("domain", ""), account["name"], account["sid"], plan.netbios))
            continue
        samdb.add({"dn": "CN=%s,CN=Users,%s" % (account["name"], base), "objectClass": "group",
                   "sAMAccountName": account["name"], "objectSid": ndr_pack(security.dom_sid(account["sid"]))},
                  controls=relax)

    # Membership: a user's primary group (Domain Users) holds it already.
    for member in directory.get("users", []) + directory.get("groups", []):
        for group in member.get("memberOf", []):
            group_sid = next(g["sid"] for g in directory["groups"] if g["name"] == group)
            if member in directory.get("users", []) and group_sid.endswith("-513"):
                continue
            change = ldb.Message(ldb.Dn(samdb, dn_by_name[group]))
            change["member"] = ldb.MessageElement(dn_by_name[member["name"]], ldb.FLAG_MOD_ADD, "member")
            samdb.modify(change)

    # The organisation's entries first, in its order, then the defaults
    # that the domain gives every user (SELF's Send As among them).
    shared = directory.get("dacls", {})
    for index, user in enumerate(directory.get("users", [])):
        entries = user.get("dacl")
        if isinstance(entries, str):
            entries = shared[entries]
        if not entries:
            continue
        path = "directory.users[%d].dacl" % index
        if any("variantType" in entry for entry in entries):
            fail("%s: an element that is not an entry cannot be seeded" % path)
        wanted = security.descriptor.from_sddl(
            "D:" + "".join(sddl_of(entry, "%s[%d]" % (path, i)) for i, entry in enumerate(entries)), domain_sid)
        found = samdb.search(base=user["dn"], scope=ldb.SCOPE_BASE, attrs=["nTSecurityDescriptor"],
                             controls=["sd_flags:1:4"])
        descriptor = ndr_unpack(security.descriptor, found[0]["nTSecurityDescriptor"][0])
        explicit = [ace for ace in descriptor.dacl.aces if not ace.flags & security.SEC_ACE_FLAG_INHERITED_ACE]
        for ace in explicit:
            wanted.dacl_add(ace)
        wanted.owner_sid, wanted.group_sid = descriptor.owner_sid, descriptor.group_sid
        descriptor = wanted
        change = ldb.Message(ldb.Dn(samdb, user["dn"]))
        change["nTSecurityDescriptor"] = ldb.MessageElement(ndr_pack(descriptor), ldb.FLAG_MOD_REPLACE,
                                                            "nTSecurityDescriptor")
        samdb.modify(change, controls=["sd_flags:1:4"])


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "plan":
        plan = Plan(sys.argv[2])
        print(plan.realm, plan.netbios, plan.domain_sid)
    elif len(sys.argv) == 4 and sys.argv[1] == "seed":
        seed(Plan(sys.argv[2]), sys.argv[3])
    else:
        fail("usage: samba_dc_seed.py plan ORGANISATION | seed ORGANISATION SMB_CONF")


if __name__ == "__main__":
    main()
