#pragma once

namespace Movendi::Backoffice {

class ConnexionPg;

// The version of the schema this program works with.
inline constexpr int VersionSchema = 2;

// The version the database holds: 0 for an empty database.
int versionSchema(ConnexionPg &base);

// Creates the schema or brings it up to VersionSchema, one version per transaction (an upgrade
// cut short leaves the last whole version); two at once wait for each other. Returns the
// version found. Throws ErreurBase, also for a database newer than this program.
int mettreAJourSchema(ConnexionPg &base);

} // namespace Movendi::Backoffice
