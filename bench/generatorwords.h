#pragma once

// The words a generated business is made of: names, places, work and expenses. For the
// generator alone.
namespace bench::words {

const char* const kNameFirst[] = {
    "Abbey",    "Beacon",    "Castle",   "Dale",    "Elm",    "Fairway",   "Granite",  "Harbour",
    "Ivy",      "Juniper",   "Kestrel",  "Lark",    "Meadow", "Northgate", "Oakfield", "Priory",
    "Quayside", "Riverside", "Summit",   "Thistle", "Upland", "Vale",      "Willow",   "Yew",
    "O'Brien",  "Zephyr",    "Ashcombe", "Bramble", "Cedar",  "Dunmore"};
const char* const kNameSecond[] = {"Joinery",
                                   "Dental Practice",
                                   "Accountants",
                                   "Motors",
                                   "Bakery",
                                   "Estates",
                                   "Veterinary Surgery",
                                   "Print",
                                   "Logistics",
                                   "Garden Centre",
                                   "Solicitors",
                                   "Hotel",
                                   "Engineering",
                                   "Pharmacy",
                                   "Café",
                                   "Architects",
                                   "Surveyors",
                                   "Florists",
                                   "Opticians",
                                   "Builders"};
const char* const kNameThird[] = {"Ltd",         "Ltd", "Ltd", "plc", "& Sons",
                                  "Partnership", "LLP", "",    "",    "Group"};
const char* const kStreets[] = {"High Street",     "Station Road",  "Church Lane", "Mill Road",
                                "Victoria Street", "The Green",     "Park Avenue", "Queen's Road",
                                "Manor Way",       "Bridge Street", "Kingsway",    "London Road",
                                "Orchard Close",   "School Lane",   "West End"};
struct Town {
    const char* town;
    const char* county;
    const char* postcode;
};
const Town kTowns[] = {
    {"Harrogate", "North Yorkshire", "HG"},     {"Ripon", "North Yorkshire", "HG"},
    {"York", "North Yorkshire", "YO"},          {"Leeds", "West Yorkshire", "LS"},
    {"Otley", "West Yorkshire", "LS"},          {"Skipton", "North Yorkshire", "BD"},
    {"Knaresborough", "North Yorkshire", "HG"}, {"Wetherby", "West Yorkshire", "LS"},
    {"Thirsk", "North Yorkshire", "YO"},        {"Ilkley", "West Yorkshire", "LS"}};
const char* const kFirstNames[] = {"Anne",   "Brian", "Claire", "David", "Emma", "Frank", "Grace",
                                   "Harry",  "Isla",  "James",  "Karen", "Liam", "Mary",  "Niall",
                                   "Olivia", "Peter", "Rachel", "Sean",  "Zoë",  "Tom"};
const char* const kLastNames[] = {"Smith", "Jones",  "Taylor",  "Brown",  "O'Neill", "Wilson",
                                  "Evans", "Thomas", "Roberts", "Walker", "Wright",  "Hughes",
                                  "Green", "Hall",   "Wood",    "Clarke"};
const char* const kPositions[] = {"Director",   "Office Manager", "Practice Manager", "Owner",
                                  "Bookkeeper", "Partner",        "IT Lead",          ""};
const char* const kWork[] = {"Quarterly accounts review",
                             "Network installation",
                             "Site survey",
                             "Training session - spreadsheets",
                             "Server maintenance",
                             "Website update",
                             "Payroll run",
                             "Audit preparation",
                             "Consultation",
                             "Follow-up visit",
                             "Staff training: O'Connor's procedures",
                             "Replace router.\r\nCheck the backups and the UPS.",
                             "Café refit survey – phase 2",
                             "Year-end stock take",
                             "Printer and scanner set-up",
                             "VAT return",
                             "Health and safety inspection",
                             "Data migration (50% done)",
                             "Monthly support visit",
                             "Emergency call-out"};
struct ExpenseType {
    const char* name;
    bool miles;
};
const ExpenseType kTypes[] = {{"Milage", true},     {"Parking", false},     {"Train fare", false},
                              {"Materials", false}, {"Subsistence", false}, {"Postage", false},
                              {"Telephone", false}};
const char* const kExpenseText[] = {"",
                                    "Return trip",
                                    "Receipt in file",
                                    "Cables and connectors",
                                    "Lunch with client",
                                    "Recorded delivery",
                                    "Car park, 3 hours"};

}  // namespace bench::words
