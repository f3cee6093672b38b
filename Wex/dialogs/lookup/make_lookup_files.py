#!/usr/bin/env python3
"""Writes the plug-in's eight directory lists into the folder given: UTF-16 little-endian without a
byte-order mark, one "code;text" line each, lines ending in CR LF."""
import os
import sys

LISTS = {
    "countries.txt": [
        (1, "USA"), (7, "Russia"), (33, "France"), (34, "Spain"), (39, "Italy"), (44, "United Kingdom"),
        (46, "Sweden"), (48, "Poland"), (49, "Germany"), (61, "Australia"), (81, "Japan"), (86, "China"),
        (90, "Turkey"), (107, "Canada"), (358, "Finland"), (371, "Latvia"), (372, "Estonia"), (375, "Belarus"),
        (380, "Ukraine"), (9999, "Other"),
    ],
    "occupations.txt": [
        (1, "Academic"), (2, "Administrative"), (3, "Art/Entertainment"), (4, "College Student"),
        (5, "Computers"), (6, "Community & Social"), (7, "Education"), (8, "Engineering"),
        (9, "Financial Services"), (10, "Government"), (11, "High School Student"), (12, "Home"),
        (13, "Law"), (14, "Managerial"), (15, "Manufacturing"), (16, "Medical/Health"), (17, "Military"),
        (18, "Non-Government Organization"), (19, "Professional"), (20, "Retail"), (21, "Retired"),
        (22, "Science & Research"), (23, "Sports"), (24, "Technical"), (25, "University Student"),
        (26, "Web Building"), (99, "Other Services"),
    ],
    "languages.txt": [
        (5, "Chinese"), (7, "Czech"), (8, "Danish"), (9, "Dutch"), (12, "English"), (15, "Finnish"),
        (16, "French"), (18, "German"), (21, "Greek"), (26, "Italian"), (27, "Japanese"), (35, "Norwegian"),
        (37, "Polish"), (38, "Portuguese"), (40, "Russian"), (44, "Spanish"), (46, "Swedish"),
        (51, "Turkish"), (52, "Ukrainian"),
    ],
    "interests.txt": [
        (100, "Art"), (101, "Cars"), (102, "Celebrity Fans"), (103, "Collections"), (104, "Computers"),
        (105, "Culture & Literature"), (106, "Fitness"), (107, "Games"), (108, "Hobbies"), (109, "Providing Help"),
        (110, "Internet"), (111, "Lifestyle"), (112, "Movies/TV"), (113, "Music"), (114, "Outdoor Activities"),
        (115, "Parenting"), (116, "Pets/Animals"), (117, "Religion"), (118, "Science/Technology"),
        (119, "Skills"), (120, "Sports"), (121, "Web Design"), (122, "Nature and Environment"),
        (123, "News & Media"), (124, "Government"), (125, "Business & Economy"), (126, "Mystics"),
        (127, "Travel"), (128, "Astronomy"), (129, "Space"), (130, "Clothing"), (131, "Parties"),
        (132, "Women"), (133, "Social science"), (134, "60's"), (135, "70's"), (136, "80's"), (137, "50's"),
        (138, "Finance and corporate"), (139, "Entertainment"), (140, "Consumer electronics"),
        (141, "Retail stores"), (142, "Health and beauty"), (143, "Media"), (144, "Household products"),
        (145, "Mail order catalog"), (146, "Business services"), (147, "Audio and visual"),
        (148, "Sporting and athletic"), (149, "Publishing"), (150, "Home automation"),
    ],
    "groups.txt": [
        (300, "Elementary School"), (301, "High School"), (302, "College"), (303, "University"),
        (304, "Military"), (305, "Past Work Place"), (306, "Past Organization"), (399, "Other"),
    ],
    "pastbg.txt": [
        (200, "Alumni Org."), (201, "Charity Org."), (202, "Club/Social Org."), (203, "Community Org."),
        (204, "Cultural Org."), (205, "Fan Clubs"), (206, "Fraternity/Sorority"), (207, "Hobbyists Org."),
        (208, "International Org."), (209, "Nature and Environment Org."), (210, "Professional Org."),
        (211, "Scientific/Technical Org."), (212, "Self Improvement Group"), (213, "Spiritual/Religious Org."),
        (214, "Sports Org."), (215, "Support Org."), (216, "Trade and Business Org."), (217, "Union"),
        (218, "Volunteer Org."), (299, "Other"),
    ],
    "gender.txt": [(1, "Female"), (2, "Male")],
    "maritalstatus.txt": [
        (10, "Single"), (11, "Close relationships"), (12, "Engaged"), (20, "Married"), (30, "Divorced"),
        (31, "Separated"), (40, "Widowed"), (50, "Open relationship"), (255, "Other"),
    ],
}


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_lookup_files.py <output folder>")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, rows in LISTS.items():
        text = "".join(f"{code};{label}\r\n" for code, label in rows)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(text.encode("utf-16-le"))


if __name__ == "__main__":
    main()
