// The roster's figures: parsing, merging into the contact-list service, the cache.
#pragma once

void RosterBenchmark();
