#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Rows of the service's database as the actions read and write them.

struct ClientRecord
{
    std::int64_t id = 0;
    std::string surname;
    std::string name;
    std::string sex;
    std::string birthday;  // "yyyy-MM-dd" or empty
    std::string address;
    std::string city;
    std::string province;
    std::string zipcode;
    std::string phone;
    std::string email;
    double height = 0.0;
    double weight = 0.0;
    // Made by the installation that created the client: a creation sent again with the
    // same key (its reply was lost) finds the record made the first time.
    std::string syncKey;
};

struct AnamnesiRecord
{
    std::int64_t id = 0;
    std::int64_t idUser = 0;
    std::string name;
    std::string anamnesiDate;  // "yyyy-MM-dd hh:mm:ss" as the questionnaire carries it
    std::string object;        // the questionnaire's JSON text, kept as received
    std::string syncKey;       // as for clients
};

struct WorkRecord
{
    std::int64_t id = 0;
    std::int64_t idUser = 0;
    std::string examDate;  // "yyyy-MM-dd"
    int kind = 2;
    int examKind = 2;
    double weight = 0.0;
    double height = 0.0;
    double bodyFat = 0.0;
    int activityLevel = 0;
    std::string note;
    std::string examZones;
    std::vector<std::string> scanFilenames;  // the pictures, by name
    std::uint64_t bytes = 0;
};
